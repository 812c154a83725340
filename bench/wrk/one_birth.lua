-- wrk: POST /v1/centile with one birth, on keep-alive connections.
wrk.method = "POST"
wrk.path = "/v1/centile"
wrk.headers["Content-Type"] = "application/json"
wrk.body = '{"population": "uk", "bwt": 3400, "gest": "39+4", "wt": 64, "ht": 163, "sex": "Male", "eth": "European", "par": 0}'

function response(status, headers, body)
  if status ~= 200 then
    io.stderr:write("unexpected status " .. status .. "\n")
  end
end
