Attribute VB_Name = "mGlobal"
Option Explicit
