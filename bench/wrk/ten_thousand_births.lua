-- wrk: POST /v1/centile with an array of 10,000 births (varied readings, all
-- five populations), on keep-alive connections. Births per second are the
-- requests per second times 10,000. No `response` function: with one, wrk
-- keeps each answer (5.8 MB) as a Lua text, which costs it more processor
-- time than the service's own reading of the request; wrk counts the answers
-- that are not 2xx itself ("Non-2xx or 3xx responses"), and
-- bench/server_benchmark.sh reports them.
local populations = {"uk", "us", "se", "nz", "au"}
local births = {}
for i = 1, 10000 do
  births[i] = string.format(
    '{"population": "%s", "bwt": %d, "gest": %d, "wt": %.1f, "ht": %d, "sex": %d, "eth": 1, "par": %d}',
    populations[(i % 5) + 1], 2000 + (i * 37) % 2500, 245 + (i * 7) % 50, 50 + (i % 40) * 1.5,
    150 + i % 35, i % 2, i % 5)
end
wrk.method = "POST"
wrk.path = "/v1/centile"
wrk.headers["Content-Type"] = "application/json"
wrk.body = "[" .. table.concat(births, ",") .. "]"

