VERSION 5.00
Object = "{C4E8A1F6-2B7D-4A93-9E05-D1F3B6A8C2E9}#3.0#0"; "controles32.ocx"
Begin VB.UserControl ctlFecha
   Caption = "ctlFecha"
End
Attribute VB_Name = "ctlFecha"
