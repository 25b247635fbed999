// vexora md5 [--rule N] FILE...: the digest and upload length as the upload uses them.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "media/FileMd5.h"
#include "platform/FileCheck.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vx::cli {
namespace {

bool ParseRule(const std::string& text, int* rule)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX)
        return false;
    *rule = static_cast<int>(v);
    return true;
}

int RunMd5(CCliArgs& args)
{
    auto ruleText = args.TakeOption("--rule");
    if (!args.Error().empty())
        return UsageError(args, args.Error());
    std::vector<std::string> files;
    if (!args.PathPositionals(&files))
        return UsageError(args, args.Error());
    if (files.empty())
        return UsageError(args, "md5 needs at least one file");
    int rule = 0;
    if (ruleText) {
        if (!ParseRule(*ruleText, &rule))
            return UsageError(args, "--rule needs a whole number, not \"" + *ruleText + "\"");
    } else {
        rule = CAppConfig::Instance().m_nMd5Rule;
    }
    rule = EffectiveMd5Rule(rule);

    int rc = kExitOk;
    for (const std::string& path : files) {
        // A folder, a pipe or a link loop is not "missing": say what it is.
        std::string problem = DescribeInputFile(path);
        if (!problem.empty()) {
            rc = Fail("md5 " + path + ": " + problem);
            continue;
        }
        FileMd5Result r;
        bool whole = IsWholeFileMd5(path);
        int code = GetFileMd5ByRule(path, rule, whole, nullptr, &r);
        if (code != MD5_OK) {
            std::string cause =
                code == MD5_FILE_MISSING ? DescribeInputFile(path) : strerror(r.nErrno ? r.nErrno : EIO);
            rc = Fail("md5 " + path + ": " + (cause.empty() ? "no such file" : cause));
            continue;
        }
        if (args.Json()) {
            CJsonOut out;
            out.Text("file", path);
            out.Text("md5", r.strMd5);
            out.Int("length", r.i64Length);
            out.Int("rule", whole ? 1 : rule);
            out.Bool("whole", whole);
            PrintJsonLine(out);
        } else {
            printf("%s %lld %s\n", r.strMd5.c_str(), static_cast<long long>(r.i64Length),
                   PlainText(path).c_str());
        }
    }
    fflush(stdout);
    return rc;
}

} // namespace

VX_CLI_COMMAND("md5", "md5 [--rule N] FILE...",
               "digest and upload length of each file (PDF/SWF whole, others sampled by the rule)", RunMd5);

} // namespace vx::cli
