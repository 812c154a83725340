// The OpenAPI document the service serves at /v1/openapi.json: the
// hand-written description of each resource (server/openapi.json), completed
// from the code's own tables so that nothing is written twice and nothing
// the service answers goes undeclared:
// - HEAD and OPTIONS operations for the methods each resource answers (the
//   routing table), with operationIds derived from the written ones;
// - the answers every request may get (400, 405, 413, 431, 500, 501, 503),
//   the X-Request-Id parameter and header field, and the CORS header fields;
// - the band codes and the flag codes as enums (the reading layer's tables),
//   and the bounds of a birth's id and a request id;
// - `security: []`: no operation needs credentials.
#pragma once

#include <string>

namespace wrenfield::server {

// Built once, on first use. Throws std::logic_error if the written
// description and the routing table disagree (a test catches that).
const std::string& openApiDocument();

}  // namespace wrenfield::server
