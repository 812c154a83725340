' Form code of a late-bound host: reads and sets every property of
' Wrenfield515UK.Calc as the lists show them, with texts and with numbers,
' and checks the centile, the population's ethnic groups and the errors.
'   wine cscript //nologo calc_properties.vbs
' Prints one line per check and "script: N checks passed, M failed"; the exit
' code is the number of failed checks.
Option Explicit

Dim checks, failures
checks = 0
failures = 0

Sub Check(ok, what)
    checks = checks + 1
    If ok Then
        WScript.Echo "ok   " & what
    Else
        failures = failures + 1
        WScript.Echo "FAIL " & what
    End If
End Sub

Dim calc
Set calc = CreateObject("Wrenfield515UK.Calc")

' A property by its name, as form code reads it.
Function Value(name)
    Select Case name
        Case "Population": Value = calc.Population
        Case "MaternalHeight": Value = calc.MaternalHeight
        Case "BookingWeight": Value = calc.BookingWeight
        Case "EthnicGroup": Value = calc.EthnicGroup
        Case "Parity": Value = calc.Parity
        Case "GestationWeeks": Value = calc.GestationWeeks
        Case "GestationDays": Value = calc.GestationDays
        Case "Birthweight": Value = calc.Birthweight
        Case "Sex": Value = calc.Sex
    End Select
End Function

' A new control shows the form's defaults, and the centile 56.
Dim defaults, row
defaults = Array(Array("Population", "United Kingdom"), Array("MaternalHeight", "165"), _
                 Array("BookingWeight", "65"), Array("EthnicGroup", "European"), Array("Parity", "0"), _
                 Array("GestationWeeks", "40"), Array("GestationDays", "0"), Array("Birthweight", "3500"), _
                 Array("Sex", "Female"))
For Each row In defaults
    Check Value(row(0)) = row(1) And VarType(Value(row(0))) = vbString, _
          row(0) & " reads """ & row(1) & """: """ & Value(row(0)) & """"
Next
Check calc.Centile = 56 And VarType(calc.Centile) = vbDouble, "Centile reads 56: " & calc.Centile

' Every property set and read back, as texts and as numbers; the centile
' after each is the form's for the same picks.
calc.MaternalHeight = 163
calc.BookingWeight = "64"
calc.Sex = "Male"
calc.GestationWeeks = 39
calc.GestationDays = 4
calc.Birthweight = 3400
calc.Parity = "4 or more"
calc.EthnicGroup = "Indian"
Check calc.MaternalHeight = "163" And VarType(calc.MaternalHeight) = vbString, "MaternalHeight = 163 reads ""163"""
Check calc.BookingWeight = "64", "BookingWeight = ""64"""
Check calc.Sex = "Male", "Sex = ""Male"""
Check calc.GestationWeeks = "39" And calc.GestationDays = "4", "GestationWeeks = 39, GestationDays = 4"
Check calc.Birthweight = "3400", "Birthweight = 3400"
Check calc.Parity = "4 or more", "Parity = ""4 or more"""
Check calc.EthnicGroup = "Indian", "EthnicGroup = ""Indian"""
Check calc.Centile = 45, "Centile after the picks: 45 (" & calc.Centile & ")"
calc.Birthweight = "Over 5000"
Check calc.Centile = 100, "Birthweight ""Over 5000"": Centile 100 (" & calc.Centile & ")"

' The population refills the ethnic groups and selects its default group.
calc.Population = "Sweden"
Check calc.Population = "Sweden" And calc.EthnicGroup = "Scandinavian", _
      "Population ""Sweden"": EthnicGroup ""Scandinavian"" (" & calc.EthnicGroup & ")"
calc.EthnicGroup = "Phillipino"
Check calc.EthnicGroup = "Phillipino", "a Swedish group: ""Phillipino"""

' A text that is not in the list: error 380, and nothing changes.
Dim number, description, before
before = calc.Centile
On Error Resume Next
calc.EthnicGroup = "Indian/Pakistani"
number = Err.Number
description = Err.Description
Err.Clear
On Error GoTo 0
Check number = 380, "EthnicGroup ""Indian/Pakistani"" under Sweden: Err.Number 380 (" & number & ")"
Check InStr(description, "Invalid property value") = 1 And InStr(description, "EthnicGroup") > 0, _
      "with a description naming the property: " & description
Check calc.EthnicGroup = "Phillipino" And calc.Centile = before, "and the group and the centile are as they were"

On Error Resume Next
calc.Birthweight = 3401
number = Err.Number
Err.Clear
calc.Centile = 50
description = Err.Number
On Error GoTo 0
Check number = 380 And calc.Birthweight = "Over 5000", "Birthweight = 3401: error 380, unchanged"
Check description <> 0, "Centile is read-only: an assignment fails (" & description & ")"

Set calc = Nothing
WScript.Echo "script: " & (checks - failures) & " checks passed, " & failures & " failed"
WScript.Quit failures
