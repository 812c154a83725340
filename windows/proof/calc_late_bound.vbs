' A late-bound host of Wrenfield515UK.Calc, as a script writer would use it:
' creates the control by its ProgID, calls all five methods with Integer,
' Double and String variables, and checks results, write-backs and errors.
'   wine cscript //nologo calc_late_bound.vbs
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

' A double within the tolerance of the expected value.
Function IsNear(value, expected, tolerance)
    IsNear = False
    If VarType(value) = vbDouble Then IsNear = Abs(value - expected) <= tolerance
End Function

Dim calc, result
Set calc = CreateObject("Wrenfield515UK.Calc")
Check IsObject(calc), "CreateObject(""Wrenfield515UK.Calc"")"

Dim bwt, gest, wt, ht, sex, eth, par

' United Kingdom with Integer variables.
bwt = CInt(3400) : gest = CInt(280) : wt = CInt(64) : ht = CInt(163)
sex = CInt(1) : eth = CInt(1) : par = CInt(0)
result = calc.custcentukn(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 38.221641, 0.00000005), "custcentukn, Integer variables: " & result
Check gest = 40, "custcentukn writes the weeks into gest: " & gest
Check ht = 163 And VarType(ht) = vbInteger, "custcentukn leaves ht alone"

' United States with Double variables.
bwt = CDbl(3400) : gest = CDbl(280) : wt = CDbl(64) : ht = CDbl(163)
sex = CDbl(1) : eth = CDbl(1) : par = CDbl(0)
result = calc.custcentus(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 36.799462, 0.00000005), "custcentus, Double variables: " & result
Check gest = 40 And VarType(gest) = vbDouble, "custcentus writes the weeks into gest: " & gest

' Sweden with String variables: the centred height comes back in ht.
bwt = "3500" : gest = "280" : wt = "65" : ht = "170"
sex = "1" : eth = "1" : par = "0"
result = calc.custcentswe(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 35.0635, 0.00005), "custcentswe, String variables: " & result
Check ht = 3, "custcentswe writes the centred height into ht: " & ht
Check gest = 40, "custcentswe writes the weeks into gest: " & gest

' New Zealand, mixed kinds.
bwt = CDbl(3500) : gest = CInt(280) : wt = "70" : ht = CInt(165)
sex = CInt(1) : eth = "1" : par = CDbl(0)
result = calc.custcentnz(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 40.9032, 0.00005), "custcentnz, mixed variables: " & result
Check gest = 40 And ht = 165, "custcentnz writes gest only"

' Australia with Integer variables.
bwt = CInt(3400) : gest = CInt(280) : wt = CInt(68) : ht = CInt(168)
sex = CInt(0) : eth = CInt(1) : par = CInt(1)
result = calc.custcentau(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 33.9737, 0.00005), "custcentau, Integer variables: " & result
Check gest = 40, "custcentau writes the weeks into gest: " & gest

' Literal arguments work too (passed by value).
result = calc.custcentukn(3400, 280, 64, 163, 1, 1, 0)
Check IsNear(result, 38.221641, 0.00000005), "custcentukn with literals: " & result

' An empty argument: the zero-length text, and gest keeps its days.
Dim nothingYet
gest = 280
result = calc.custcentukn(3400, gest, 64, 163, 1, 1, nothingYet)
Check VarType(result) = vbString And Len(result) = 0, "an empty par gives the zero-length text"
Check gest = 280, "and leaves gest in days: " & gest
result = calc.custcentnz("", gest, 64, 163, 1, 1, 0)
Check VarType(result) = vbString And Len(result) = 0, "a zero-length bwt gives the zero-length text"

' A non-numeric text: run-time error 13, Type mismatch.
Dim number, description
On Error Resume Next
result = Empty
result = calc.custcentukn("heavy", 280, 64, 163, 1, 1, 0)
number = Err.Number
description = Err.Description
On Error GoTo 0
Check number = 13, "a non-numeric text raises Err.Number 13: " & number
Check description = "Type mismatch", "with the description ""Type mismatch"": " & description
Check IsEmpty(result), "and delivers no result"

Set calc = Nothing
WScript.Echo "script: " & (checks - failures) & " checks passed, " & failures & " failed"
WScript.Quit failures
