// vexora config: what the program made of Config.ini.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "platform/Paths.h"

#include <cstdio>

namespace vx::cli {
namespace {

int RunConfig(CCliArgs& args)
{
    int rc = kExitOk;
    if (!NoArguments(args, "config takes no arguments", &rc))
        return rc;
    const CAppConfig& c = CAppConfig::Instance();
    auto ep = [](const std::string& host, long port) { return host + ":" + std::to_string(port); };

    CJsonOut out;
    out.Text("configFile", c.ConfigPath());
    out.Bool("configFound", FileExists(c.ConfigPath()));
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
    fputs(args.Json() ? out.Json().c_str() : out.Plain().c_str(), stdout);
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("config", "config", "show the configuration as the program reads it", RunConfig);

} // namespace vx::cli
