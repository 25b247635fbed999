// vexora queue: the course files waiting in the local database, as the client would restore them
// at its next start, for users and support to see what is left to do.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "platform/Paths.h"
#include "store/LocalDb.h"

#include <cstdio>

namespace vx::cli {
namespace {

std::string StatusText(int32_t status)
{
    const int no = StatusTextNo(status);
    std::string text = no ? CAppConfig::Instance().GetText(no) : std::string();
    return text.empty() ? StatusName(status) : text;
}

CJsonOut Describe(const _sLCItemData& r, int64_t userId)
{
    CJsonOut o;
    o.Int("userId", userId);
    o.Text("strFileIndex", r.strFileIndex);
    o.Int("nStatus", r.nStatus);
    o.Text("statusText", StatusText(r.nStatus));
    o.Int("nProgress", r.nProgress);
    o.Int("nFileType", r.nFileType);
    o.Int("i64FileSize", r.i64FileSize);
    o.Int("i64FileStart", r.i64FileStart);
    o.Int("i64FileEnd", r.i64FileEnd);
    o.Int("i64FileId", r.i64FileId);
    o.Int("i64DirId", r.i64DirId);
    o.Text("strFileName", r.strFileName);
    o.Text("strFilePath", r.strFilePath);
    o.Text("strConvertPath", r.strConvertPath);
    o.Text("strMd5", r.strMd5);
    o.Text("strModifyTime", r.strModifyTime);
    return o;
}

int RunQueue(CCliArgs& args)
{
    long long userId = 0;
    bool oneUser = false;
    if (!args.TakeInt64("--user-id", &userId, &oneUser))
        return UsageError(args, args.Error());
    int rc = kExitOk;
    if (!NoArguments(args, "queue takes no arguments", &rc))
        return rc;

    const std::string path = CLocalDb::DefaultPath();
    if (!FileExists(path))
        return Fail("no database at " + path + ": the file does not exist");
    // Read only: the client may be running on the same file, and an older file is left as it is.
    DbOpenOptions options;
    options.bReadOnly = true;
    CLocalDb db(path, options);
    if (!db.IsOpen())
        return Fail("cannot open " + path + ": " + db.LastError());

    std::vector<int64_t> users;
    if (oneUser)
        users.push_back(userId);
    else if (!db.GetCourseUsers(&users))
        return Fail("cannot read the course files of " + path + ": " + db.LastError());

    std::string json = "[";
    size_t count = 0;
    for (int64_t user : users) {
        std::vector<_sLCItemData> records;
        if (!db.LoadCourseFiles(user, &records))
            return Fail("cannot read the course files of " + path + ": " + db.LastError());
        for (const _sLCItemData& r : records) {
            if (args.Json()) {
                std::string obj = Describe(r, user).Json();
                obj.pop_back(); // the trailing line feed
                json += (count ? ",\n  " : "\n  ") + obj;
            } else {
                printf("%lld  %s  %2d %s  %3d%%  %s bytes  %s\n", static_cast<long long>(user),
                       PlainText(r.strFileIndex).c_str(), r.nStatus, StatusText(r.nStatus).c_str(),
                       r.nProgress, std::to_string(r.i64FileSize).c_str(), PlainText(r.strFilePath).c_str());
            }
            ++count;
        }
    }
    if (args.Json())
        printf("%s%s]\n", json.c_str(), count ? "\n" : "");
    else if (count == 0)
        printf("no course files%s\n", oneUser ? " for this user" : "");
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("queue", "queue [--user-id ID]", "list the course files waiting in the local database",
               RunQueue);

} // namespace vx::cli
