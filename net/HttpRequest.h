#pragma once
// The logging, retrying request used by the space directory API.

#include "net/HttpClient.h"

#include <string>

namespace vx {

struct HttpRequestResult
{
    int statusCode = 0;
    // A readable cause when the request failed (connection refused at host:port, HTTP status,
    // ...); the user-facing error text stays as the callers expect it.
    std::string cause;
};

// GET url, or POST url with the form parameters as body, carrying cookie. Up to three attempts
// for a failed exchange. True for status 200 with a non-empty body (*body set). Any other status
// sets *errorText to "Error : Request http head error! , HTTP Code = %d".
bool DoHttpRequest(std::string* errorText, const std::string& url, std::string* body, bool isPost,
                   const std::string& params, const std::string& cookie, HttpRequestResult* result = nullptr,
                   const HttpTimeouts& timeouts = HttpTimeouts());

} // namespace vx
