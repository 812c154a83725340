// The files the service serves (the page, its script and style, the OpenAPI
// document), compiled into the program from server/page/ and server/openapi.json.
#pragma once

#include <span>
#include <string_view>

namespace wrenfield::server {

struct Asset {
    std::string_view path;         // "/app.js"
    std::string_view contentType;  // "text/javascript; charset=utf-8"
    std::string_view content;
};

std::span<const Asset> assets();
const Asset* assetAt(std::string_view path);

}  // namespace wrenfield::server
