Attribute VB_Name = "Plugin"
' Quillon runs the two macros of this module inside its word processor for
' every document it converts while "Run Plugin Macro" is checked (or "/plugin"
' is given on the command line):
'
'   BeforeConversion  just before the document is saved as text: what it
'                     changes is what the text file holds. With "Save changes
'                     to source file" ("/pluginsave") its changes are also
'                     saved into the source (RTF and text sources only).
'   AfterConversion   just after the text file is written; its changes go
'                     nowhere, the document is closed without saving.
'
' Both must stay Public Subs without arguments. MsgBox never waits here: its
' text goes to the engine's log (the terminal of a command-line run).
Option Explicit

Public Sub BeforeConversion()
    Dim i As Long

    ' Delete every comment of the document.
    For i = ActiveDocument.Comments.Count To 1 Step -1
        ActiveDocument.Comments(i).Delete
    Next i

    ' To replace a word everywhere in the text, remove the ' in front of
    ' these lines and put your own words in:
    '
    ' With ActiveDocument.Content.Find
    '     .ClearFormatting
    '     .Replacement.ClearFormatting
    '     .Text = "colour"
    '     .Replacement.Text = "color"
    '     .MatchCase = False
    '     .MatchWholeWord = True
    '     .Execute Replace:=wdReplaceAll
    ' End With
    '
    ' Other things a macro can do here:
    '     ActiveDocument.Revisions.AcceptAll      ' keep tracked changes
    '     ActiveDocument.Fields.Unlink            ' fields become plain text
    '     ActiveDocument.Tables(1).Delete         ' drop the first table
End Sub

Public Sub AfterConversion()
End Sub
