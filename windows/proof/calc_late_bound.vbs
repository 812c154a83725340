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

' Calls one of the five methods by name. The parameters are ByRef, so the
' method's write-backs reach the caller's own variables.
Function CallMethod(name, bwt, gest, wt, ht, sex, eth, par)
    Select Case name
        Case "custcentukn": CallMethod = calc.custcentukn(bwt, gest, wt, ht, sex, eth, par)
        Case "custcentus": CallMethod = calc.custcentus(bwt, gest, wt, ht, sex, eth, par)
        Case "custcentswe": CallMethod = calc.custcentswe(bwt, gest, wt, ht, sex, eth, par)
        Case "custcentnz": CallMethod = calc.custcentnz(bwt, gest, wt, ht, sex, eth, par)
        Case "custcentau": CallMethod = calc.custcentau(bwt, gest, wt, ht, sex, eth, par)
    End Select
End Function

' Gives every variable the value of its input, as an Integer, a Double or a String.
Function AsKind(value, kind)
    Select Case kind
        Case "Integer": AsKind = CInt(value)
        Case "Double": AsKind = CDbl(value)
        Case "String": AsKind = CStr(value)
    End Select
End Function

' The worked value of each population: method, inputs, centile, tolerance,
' and the height the caller finds afterwards (Sweden centres it).
Dim cases(4)
cases(0) = Array("custcentukn", Array(3400, 280, 64, 163, 1, 1, 0), 38.221641, 0.00000005, 163)
cases(1) = Array("custcentus", Array(3400, 280, 64, 163, 1, 1, 0), 36.799462, 0.00000005, 163)
cases(2) = Array("custcentswe", Array(3500, 280, 65, 170, 1, 1, 0), 35.0635, 0.00005, 3)
cases(3) = Array("custcentnz", Array(3500, 280, 70, 165, 1, 1, 0), 40.9032, 0.00005, 165)
cases(4) = Array("custcentau", Array(3400, 280, 68, 168, 0, 1, 1), 33.9737, 0.00005, 168)

Dim c, kind, inputs, label
For Each c In cases
    For Each kind In Array("Integer", "Double", "String")
        inputs = c(1)
        bwt = AsKind(inputs(0), kind) : gest = AsKind(inputs(1), kind) : wt = AsKind(inputs(2), kind)
        ht = AsKind(inputs(3), kind) : sex = AsKind(inputs(4), kind) : eth = AsKind(inputs(5), kind)
        par = AsKind(inputs(6), kind)
        result = CallMethod(c(0), bwt, gest, wt, ht, sex, eth, par)
        label = c(0) & ", " & kind & " variables"
        Check IsNear(result, c(2), c(3)), label & ": " & result
        Check gest = 40 And VarType(gest) = vbDouble, label & ": gest holds the weeks, " & gest
        ' (A String that is not written keeps its kind: compare its number.)
        Check CDbl(ht) = c(4), label & ": ht holds " & ht
    Next
Next

' Variables of mixed kinds in one call.
bwt = CDbl(3500) : gest = CInt(280) : wt = "70" : ht = CInt(165)
sex = CInt(1) : eth = "1" : par = CDbl(0)
result = calc.custcentnz(bwt, gest, wt, ht, sex, eth, par)
Check IsNear(result, 40.9032, 0.00005), "custcentnz, mixed variables: " & result
Check gest = 40 And ht = 165 And VarType(ht) = vbInteger, "custcentnz writes gest only"

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
