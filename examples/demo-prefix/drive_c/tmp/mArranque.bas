Attribute VB_Name = "mArranque"
Option Explicit
