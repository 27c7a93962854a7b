VERSION 5.00
Object = "{831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0"; "MSCOMCTL.OCX"
Object = "*\A..\Rejilla\Rejilla.vbp"
Begin VB.Form frmMain 
   Caption         =   "Principal"
   Begin MSComctlLib.ListView lvw 
      BeginProperty Font 
         Name            =   "Tahoma"
      EndProperty
   End
End
Attribute VB_Name = "frmMain"
Option Explicit
Private Declare Function GetTickCount Lib "kernel32" () As Long
