// POST /v1/centile: one birth (a JSON object) or an array of births, read by
// the reading layer as every front end reads a birth, each answered with its
// result record (reading/json.h), in order. A birth that cannot be used gets
// its error in its place; the others are still computed. A birth posted alone
// gets the very bytes it gets inside an array.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/api.h"
#include "server/problem.h"

namespace wrenfield::server {

// `parameters` are the query's options, the defaults of every birth.
Response centileResponse(std::string_view body, const std::vector<std::pair<std::string, std::string>>& parameters);

// GET /v1/chart.svg: one birth's fields and options as query parameters, plus
// an optional width and height; the chart drawn by `chart` as image/svg+xml.
Response chartResponse(const std::vector<std::pair<std::string, std::string>>& parameters, const ChartRenderer& chart);

}  // namespace wrenfield::server
