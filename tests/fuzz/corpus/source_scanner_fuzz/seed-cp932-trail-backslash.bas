Declare Function F Lib "c:\•\\util" () ' •\
Declare Sub G Lib "•\." ()
   