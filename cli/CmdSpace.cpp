// The remote space from the command line: ls, search, mkdir, rename, mv, rm, quota, servers.
// Each command logs in first (CliSession), then makes its requests.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/CliSession.h"
#include "cli/JsonOut.h"
#include "net/SpaceApi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vx::cli {
namespace {

const char* KindName(int type)
{
    switch (type) {
    case SPACE_FOLDER:
        return "dir";
    case SPACE_PDF:
        return "pdf";
    case SPACE_SWF:
        return "swf";
    default:
        return "video";
    }
}

bool ParseId(const std::string& text, long long* id)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    *id = v;
    return true;
}

// The reason of a failed request: the server's message when it gave one, else the cause.
int SpaceFail(const std::string& what, const CSpaceApi& api, const std::string& errorText)
{
    std::string why = !errorText.empty() ? errorText : api.GetFailureCause();
    if (why.empty())
        why = "unknown error";
    for (char& ch : why)
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    return Fail(what + " failed: " + why);
}

void PrintEntries(const CCliArgs& args, const std::vector<SpaceEntry>& entries)
{
    if (!args.Json()) {
        // kind, id, size, name: tab-separated, one entry per line
        for (const SpaceEntry& e : entries)
            printf("%s\t%lld\t%lld\t%s\n", KindName(e.nType), static_cast<long long>(e.i64Id),
                   static_cast<long long>(e.i64Size), PlainText(e.strName).c_str());
        return;
    }
    std::string s = "[";
    for (size_t i = 0; i < entries.size(); ++i) {
        const SpaceEntry& e = entries[i];
        s += i ? ",\n " : "\n ";
        s += "{\"id\":" + std::to_string(e.i64Id) + ",\"parentId\":" + std::to_string(e.i64ParentId) +
             ",\"kind\":" + CJsonOut::Quote(KindName(e.nType)) + ",\"type\":" + std::to_string(e.nType) +
             ",\"name\":" + CJsonOut::Quote(e.strName) + ",\"size\":" + std::to_string(e.i64Size) +
             ",\"level\":" + std::to_string(e.nLevel) +
             ",\"hasChildren\":" + (e.bHasChildren ? "true" : "false") +
             ",\"ownerId\":" + std::to_string(e.i64OwnId) +
             ",\"createTime\":" + CJsonOut::Quote(e.strCreateTime) +
             ",\"filePath\":" + CJsonOut::Quote(e.strFilePath) + "}";
    }
    s += entries.empty() ? "]\n" : "\n]\n";
    fputs(s.c_str(), stdout);
}

int RunLs(CCliArgs& args)
{
    long long dir = 0;
    bool present = false;
    if (!args.TakeInt64("--dir", &dir, &present))
        return UsageError(args, args.Error());
    int rc = kExitOk;
    if (!NoArguments(args, "ls takes no further arguments", &rc) || !LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::vector<SpaceEntry> entries;
    std::string err;
    if (!api.RequestForDirList(dir, true, &entries, &err))
        return SpaceFail("listing folder " + std::to_string(dir), api, err);
    PrintEntries(args, entries);
    return kExitOk;
}

// The command line of a command taking one id option and one non-empty word: false (the usage
// error printed, *rc set) when the option is missing (or not above 0 when positive) or the
// word is not there alone.
bool IdAndWord(CCliArgs& args, const char* option, bool positive, const char* noId, const char* noWord,
               long long* id, std::string* word, int* rc)
{
    bool present = false;
    std::vector<std::string> rest;
    if (!args.TakeInt64(option, id, &present) || !args.Positionals(&rest))
        *rc = UsageError(args, args.Error());
    else if (!present || (positive && *id <= 0))
        *rc = UsageError(args, noId);
    else if (rest.size() != 1 || rest[0].empty())
        *rc = UsageError(args, noWord);
    else {
        *word = rest[0];
        return true;
    }
    return false;
}

int RunSearch(CCliArgs& args)
{
    long long dir = 0;
    std::string text;
    int rc = kExitOk;
    if (!IdAndWord(args, "--dir", true, "search needs --dir with a folder id greater than 0",
                   "search needs one search text", &dir, &text, &rc) ||
        !LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::vector<SpaceEntry> entries;
    std::string err;
    if (!api.RequestForSearchKey(dir, text, &entries, &err))
        return SpaceFail("searching folder " + std::to_string(dir), api, err);
    PrintEntries(args, entries);
    return kExitOk;
}

int RunMkdir(CCliArgs& args)
{
    long long parent = 0;
    std::string name;
    int rc = kExitOk;
    if (!IdAndWord(args, "--parent", false, "mkdir needs --parent", "mkdir needs one folder name", &parent,
                   &name, &rc) ||
        !LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    int64_t id = 0;
    std::string err;
    if (!api.RequestForCreateDirectroy(parent, name, &id, &err))
        return SpaceFail("creating folder \"" + name + "\"", api, err);
    if (args.Json())
        printf("{\"id\":%lld}\n", static_cast<long long>(id));
    else
        printf("%lld\n", static_cast<long long>(id));
    return kExitOk;
}

int RunRename(CCliArgs& args)
{
    long long dir = 0, file = 0, size = 0, parent = 0;
    bool hasDir = false, hasFile = false, hasSize = false, hasParent = false;
    if (!args.TakeInt64("--dir", &dir, &hasDir) || !args.TakeInt64("--file", &file, &hasFile) ||
        !args.TakeInt64("--size", &size, &hasSize) || !args.TakeInt64("--parent", &parent, &hasParent))
        return UsageError(args, args.Error());
    std::string md5 = args.TakeOption("--md5").value_or("");
    std::vector<std::string> rest;
    if (!args.Positionals(&rest))
        return UsageError(args, args.Error());
    if (hasDir == hasFile)
        return UsageError(args, "rename needs exactly one of --dir ID and --file ID");
    if (rest.size() != 1 || rest[0].empty())
        return UsageError(args, "rename needs one new name");
    int rc = kExitOk;
    if (!LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::string err;
    bool ok = hasDir ? api.RequestForRenameDir(dir, rest[0], parent, &err)
                     : api.RequestForRenameFile(file, rest[0], md5, size, &err);
    if (!ok)
        return SpaceFail(std::string("renaming ") + (hasDir ? "folder " : "file ") +
                             std::to_string(hasDir ? dir : file),
                         api, err);
    if (args.Json())
        printf("{\"renamed\":true}\n");
    return kExitOk;
}

bool TakeIds(CCliArgs& args, const std::string& name, std::vector<int64_t>* ids, std::string* bad)
{
    for (const std::string& v : args.TakeAll(name)) {
        long long id = 0;
        if (!ParseId(v, &id)) {
            *bad = name + " needs a number, not \"" + v + "\"";
            return false;
        }
        ids->push_back(id);
    }
    return true;
}

int RunMv(CCliArgs& args)
{
    long long to = 0;
    bool hasTo = false;
    if (!args.TakeInt64("--to", &to, &hasTo))
        return UsageError(args, args.Error());
    std::vector<int64_t> dirs, files;
    std::string bad;
    if (!TakeIds(args, "--dir", &dirs, &bad) || !TakeIds(args, "--file", &files, &bad))
        return UsageError(args, bad);
    int rc = kExitOk;
    if (!NoArguments(args, "mv takes no further arguments", &rc))
        return rc;
    if (!hasTo)
        return UsageError(args, "mv needs --to");
    if (dirs.empty() && files.empty())
        return UsageError(args, "mv needs at least one --dir or --file");
    if (!LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::string err;
    if (!api.RequestForMoveDir(to, dirs, &err))
        return SpaceFail("moving folders " + CSpaceApi::JoinIds(dirs) + " to " + std::to_string(to), api,
                         err);
    if (!api.RequestForMoveFile(to, files, &err))
        return SpaceFail("moving files " + CSpaceApi::JoinIds(files) + " to " + std::to_string(to), api, err);
    if (args.Json())
        printf("{\"moved\":%zu}\n", dirs.size() + files.size());
    return kExitOk;
}

// True when the folder or any folder below it holds a file (*failed set when a listing failed).
bool HoldsFiles(CSpaceApi& api, int64_t dirId, int depth, std::string* err, bool* failed)
{
    std::vector<SpaceEntry> entries;
    if (depth > 64 || !api.RequestForDirListAll(dirId, &entries, err)) {
        *failed = true;
        return true;
    }
    for (const SpaceEntry& e : entries) {
        if (e.nType != SPACE_FOLDER)
            return true;
        if (e.i64Id != dirId && HoldsFiles(api, e.i64Id, depth + 1, err, failed))
            return true;
    }
    return false;
}

int RunRm(CCliArgs& args)
{
    std::vector<int64_t> dirs;
    std::string bad;
    if (!TakeIds(args, "--dir", &dirs, &bad))
        return UsageError(args, bad);
    std::vector<std::string> rest;
    if (!args.Positionals(&rest))
        return UsageError(args, args.Error());
    for (const std::string& v : rest) { // "rm --dir 1 2 3" lists more ids after the first
        long long id = 0;
        if (!ParseId(v, &id))
            return UsageError(args, "rm takes folder ids, not \"" + v + "\"");
        dirs.push_back(id);
    }
    if (dirs.empty())
        return UsageError(args, "rm needs at least one --dir ID");
    int rc = kExitOk;
    if (!LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::string err;
    // Only folders without files anywhere below them are deleted, as in the space view.
    for (int64_t id : dirs) {
        bool failed = false;
        if (HoldsFiles(api, id, 0, &err, &failed)) {
            if (failed)
                return SpaceFail("checking folder " + std::to_string(id) + " before deleting it", api, err);
            return Fail("deleting folder " + std::to_string(id) +
                        " refused: it or a folder below it holds files");
        }
    }
    if (!api.RequestForDeleteDir(dirs, &err))
        return SpaceFail("deleting folders " + CSpaceApi::JoinIds(dirs), api, err);
    if (args.Json())
        printf("{\"deleted\":%zu}\n", dirs.size());
    return kExitOk;
}

int RunQuota(CCliArgs& args)
{
    int rc = kExitOk;
    if (!NoArguments(args, "quota takes no further arguments", &rc) || !LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    SpaceQuota q;
    std::string err;
    if (!api.RequestSpaceInfo(&q, &err))
        return SpaceFail("reading the space quota", api, err);
    if (args.Json())
        printf("{\"totalGB\":%lld,\"usedGB\":%lld,\"leftGB\":%lld}\n", static_cast<long long>(q.i64Total),
               static_cast<long long>(q.i64Used), static_cast<long long>(q.i64Left));
    else
        printf("total: %lldG\nused: %lldG\nleft: %lldG\n", static_cast<long long>(q.i64Total),
               static_cast<long long>(q.i64Used), static_cast<long long>(q.i64Left));
    return kExitOk;
}

int RunServers(CCliArgs& args)
{
    int rc = kExitOk;
    if (!NoArguments(args, "servers takes no further arguments", &rc) || !LoginForCommand(args, &rc))
        return rc;
    CSpaceApi api(CAppConfig::Instance());
    std::vector<FileServerAddress> servers;
    std::string err;
    if (!api.RequestFtpServer(&servers, &err))
        return SpaceFail("reading the file-server list", api, err);
    if (!args.Json()) {
        for (const FileServerAddress& s : servers)
            printf("%s:%d\n", PlainText(s.strIp).c_str(), s.nPort);
        return kExitOk;
    }
    std::string s = "[";
    for (size_t i = 0; i < servers.size(); ++i)
        s += std::string(i ? "," : "") + "{\"host\":" + CJsonOut::Quote(servers[i].strIp) +
             ",\"port\":" + std::to_string(servers[i].nPort) + "}";
    fputs((s + "]\n").c_str(), stdout);
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("ls", "ls [--dir ID]", "list a folder (default: the top level, parent 0)", RunLs);
VX_CLI_COMMAND("search", "search --dir ID TEXT", "search a folder for names containing TEXT", RunSearch);
VX_CLI_COMMAND("mkdir", "mkdir --parent ID NAME", "create a folder, print its id", RunMkdir);
VX_CLI_COMMAND("rename", "rename (--dir ID | --file ID) NAME", "rename a folder or a file", RunRename);
VX_CLI_COMMAND("mv", "mv --to ID [--dir ID]... [--file ID]...", "move folders and files into a folder",
               RunMv);
VX_CLI_COMMAND("rm", "rm --dir ID...", "delete folders that hold no files", RunRm);
VX_CLI_COMMAND("quota", "quota", "show the space quota in gigabytes", RunQuota);
VX_CLI_COMMAND("servers", "servers", "the file servers as host:port, one per line", RunServers);

} // namespace vx::cli
