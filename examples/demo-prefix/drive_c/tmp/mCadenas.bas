Attribute VB_Name = "mCadenas"
Option Explicit
Private Declare Function Recortar Lib "cadenas32" (ByVal s As String) As Long
