#include "net/HttpRequest.h"

#include "app/LogFile.h"

namespace vx {

bool DoHttpRequest(std::string* errorText, const std::string& url, std::string* body, bool isPost,
                   const std::string& params, const std::string& cookie, HttpRequestResult* result,
                   const HttpTimeouts& timeouts)
{
    // The line goes to the log as it stands; nothing in it is read as a format.
    if (isPost && !params.empty())
        LogText(g_log, "Info : do http request, url(" + url + "), param(" + params + ")");
    else
        LogText(g_log, "Info : do http request, url(" + url + ")");

    CHttpClient client;
    client.SetTimeouts(timeouts);
    bool ok = false;
    for (int attempt = 0; attempt < 3 && !ok; ++attempt)
        ok = isPost ? client.PostText(url, cookie, params) : client.Get(url, cookie);
    if (result)
        result->statusCode = client.GetStatusCode();
    if (!ok) {
        Log(g_log, "Error : %s Send request url fail! , Error Msg is : %s. Request Log is : %s\nUrl = %s",
            isPost ? "post" : "get", client.GetErrorText().c_str(), client.GetRequestLog().c_str(),
            url.c_str());
        if (result)
            result->cause =
                client.GetFailureCause().empty() ? client.GetErrorText() : client.GetFailureCause();
        return false;
    }
    if (client.GetStatusCode() != 200) {
        Log(g_log, "Error : Request http head error! , HTTP Code = %d, Requset Log is : %s\n Url = %s",
            client.GetStatusCode(), client.GetRequestLog().c_str(), url.c_str());
        if (errorText)
            *errorText =
                "Error : Request http head error! , HTTP Code = " + std::to_string(client.GetStatusCode());
        if (result)
            result->cause = "HTTP status " + std::to_string(client.GetStatusCode()) + " for " + url;
        return false;
    }
    if (body)
        *body = client.GetBody();
    if (client.GetBody().empty() && result)
        result->cause = "empty answer for " + url;
    return !client.GetBody().empty();
}

} // namespace vx
