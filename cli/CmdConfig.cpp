// vexora config: what the program made of Config.ini, which files it read, and the two server
// addresses the program itself writes back.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "platform/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace vx::cli {
namespace {

// "HOST:PORT" with a host and a port from 1 to 65535; false otherwise.
bool ParseServer(const std::string& text, std::string* host, int* port)
{
    *port = 0;
    ParseEndpoint(text, host, port);
    const std::string digits = text.substr(text.rfind(':') + 1);
    return !host->empty() && !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos &&
           *port >= 1 && *port <= 65535;
}

void PrintConfig(const CAppConfig& c, bool json)
{
    auto ep = [](const std::string& host, long port) { return host + ":" + std::to_string(port); };
    CJsonOut out;
    out.Text("configFile", c.ConfigPath());
    out.Bool("configFound", FileExists(c.ConfigPath()));
    out.Text("shippedConfig", c.DefaultsPath());
    out.Bool("shippedFound", !c.DefaultsPath().empty() && FileExists(c.DefaultsPath()));
    out.Text("resourceFolder", GetResourceFolder());
    out.Text("dataFolder", GetDataFolder());
    out.Text("loginServer", ep(c.m_strLoginHost, c.m_usLoginPort));
    out.Text("webServer", ep(c.m_strWebHost, c.m_nWebPort));
    out.Text("fileServer", ep(c.m_strFileSvrHost, c.m_usFileSvrPort));
    out.Text("presetFileServer",
             c.m_strPreFileSvrHost.empty() ? "" : ep(c.m_strPreFileSvrHost, c.m_usPreFileSvrPort));
    out.Text("versionServer", ep(c.m_strVerHost, c.m_nVerPort));
    out.Int("checkdurtime", c.m_nCheckDurTime);
    out.Bool("needcheck", c.m_bNeedCheck);
    out.Int("CodecOption", c.m_nCodecOption);
    out.Int("MaskOfBindCPU", c.m_nMaskOfBindCPU);
    out.Int("md5Rule", c.m_nMd5Rule);
    out.Int("recvnum", c.m_nRecvNum);
    out.Int("processors", c.m_nCpuCount);
    out.Int("languageTexts", static_cast<long long>(c.Language().Count()));
    fputs(json ? out.Json().c_str() : out.Plain().c_str(), stdout);
}

int RunConfig(CCliArgs& args)
{
    std::optional<std::string> fileServer = args.TakeOption("--file-server");
    std::optional<std::string> versionServer = args.TakeOption("--version-server");
    int rc = kExitOk;
    if (!NoArguments(args, "config takes no arguments", &rc))
        return rc;

    struct Save
    {
        const std::optional<std::string>& text;
        const char* option;
        bool (CAppConfig::*save)(int, const std::string&);
    };
    CAppConfig& c = CAppConfig::Instance();
    for (const Save& s : {Save{fileServer, "--file-server", &CAppConfig::SaveFileServerIpPort},
                          Save{versionServer, "--version-server", &CAppConfig::SaveLivesrvIpPort}}) {
        if (!s.text)
            continue;
        std::string host;
        int port = 0;
        if (!ParseServer(*s.text, &host, &port))
            return UsageError(args, std::string(s.option) + " takes HOST:PORT (port 1 to 65535)");
        // Only a write that reached the file is reported as saved.
        if (!(c.*s.save)(port, host))
            return Fail(std::string(s.option) + " not saved: " + c.LastSaveError());
        fprintf(stderr, "vexora: %s %s:%d saved in %s\n", s.option, host.c_str(), port,
                c.ConfigPath().c_str());
    }
    PrintConfig(c, args.Json());
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("config", "config [--file-server HOST:PORT] [--version-server HOST:PORT]",
               "show the configuration and the files it comes from; save a server address", RunConfig);

} // namespace vx::cli
