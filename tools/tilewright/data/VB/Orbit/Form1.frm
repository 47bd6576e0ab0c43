VERSION 5.00
Object = "{5C7E2A31-8D4B-4F1A-9E63-2B7D1C9A4E10}#1.0#0"; "Tilewrig.ocx"
Begin VB.Form Form1
   Caption         =   "Orbit"
   ClientHeight    =   4800
   ClientWidth     =   6400
   Begin TilewrightLib.TileView TileView1
      Height          =   4500
      Left            =   120
      Top             =   120
      Width           =   6100
      ResourceFile    =   "C:\PROJEKTE\Language\English\Orbit.tlr"
   End
End
Attribute VB_Name = "Form1"
Private Sub Form_Load()
   TileView1.LoadMap 1
End Sub
