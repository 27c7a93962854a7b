Attribute VB_Name = "modApi"
Public Declare Function GetWindowText Lib "user32.dll" Alias "GetWindowTextA" _
    (ByVal hWnd As Long, ByVal s As String, ByVal n As Long) As Long
' Declare Sub Comentario Lib "no" () _
Declare Sub Continua Lib "no" ()
Rem Declare Sub EnRem Lib "no" ()
Private Const A = "Declare Sub Texto Lib ""no"" ()": Private Declare Sub Sleep Lib "KERNEL32." (ByVal ms As Long)
#If Win64 Then
    Private Declare PtrSafe Function F Lib "..\lib.v2\util" () As LongPtr
#Else
    Private Declare Function F Lib "..\lib.v2\util" () As Long
#End If
