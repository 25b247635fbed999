// vexora queue: the course files waiting in the local database, as the client would restore them
// at its next start, for users and support to see what is left to do; with --remove or
// --remove-failed, the way to let go of course files that cannot get further.

#include "app/AppConfig.h"
#include "cli/CliCommand.h"
#include "cli/CliHelpers.h"
#include "cli/JsonOut.h"
#include "cli/StuckRecords.h"
#include "platform/Paths.h"
#include "store/LocalDb.h"

#include <cstdio>
#include <map>
#include <set>

namespace vx::cli {
namespace {

std::string StatusText(int32_t status)
{
    const int no = StatusTextNo(status);
    std::string text = no ? CAppConfig::Instance().GetText(no) : std::string();
    return text.empty() ? StatusName(status) : text;
}

CJsonOut Describe(const _sLCItemData& stored, int64_t userId)
{
    const _sLCItemData r = FoldedCopy(stored);
    CJsonOut o;
    o.Int("userId", userId);
    o.Text("strFileIndex", r.strFileIndex);
    o.Int("nStatus", r.nStatus);
    o.Text("statusText", StatusText(r.nStatus));
    o.Int("storedStatus", stored.nStatus);
    o.Text("blocked", BlockedCause(stored));
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

// The stored records of each user (every user, or the one asked for).
bool LoadStored(CLocalDb& db, bool oneUser, int64_t userId, std::map<int64_t, std::vector<_sLCItemData>>* out)
{
    std::vector<int64_t> users;
    if (oneUser)
        users.push_back(userId);
    else if (!db.GetCourseUsers(&users))
        return false;
    for (int64_t user : users)
        if (!db.GetCourseFile(user, &(*out)[user]))
            return false;
    return true;
}

// --remove INDEX... or --remove-failed: the records go from the database in one batch per user.
// Named indexes that are not there remove nothing at all: a mistyped one must not pass unseen.
int RemoveRecords(CCliArgs& args, const std::string& path, bool oneUser, int64_t userId,
                  const std::vector<std::string>& indexes, bool failed)
{
    CLocalDb db(path);
    if (!db.IsOpen())
        return Fail("cannot open " + path + ": " + db.LastError());
    std::map<int64_t, std::vector<_sLCItemData>> stored;
    if (!LoadStored(db, oneUser, userId, &stored))
        return Fail("cannot read the course files of " + path + ": " + db.LastError());
    std::set<std::string> wanted(indexes.begin(), indexes.end()), found;
    std::map<int64_t, std::vector<_sLCItemData>> going;
    for (const auto& [user, records] : stored)
        for (const _sLCItemData& r : records) {
            const bool named = wanted.count(r.strFileIndex) > 0;
            if (named)
                found.insert(r.strFileIndex);
            if (named || (failed && (IsFailedStatus(r.nStatus) || !BlockedCause(r).empty())))
                going[user].push_back(r);
        }
    for (const std::string& idx : wanted)
        if (!found.count(idx))
            return Fail("queue --remove: no course file " + idx + " in " + path +
                        (oneUser ? " for this user" : "") + "; nothing was removed");
    std::string json = "[";
    size_t count = 0;
    for (const auto& [user, records] : going) {
        if (!db.DeleteCourseFile(records, user))
            return Fail("cannot remove course files from " + path + ": " + db.LastError() +
                        (count ? " (those listed above are removed)" : "; nothing was removed"));
        for (const _sLCItemData& r : records) {
            if (args.Json()) {
                std::string obj = Describe(r, user).Json();
                obj.pop_back();
                json += (count ? ",\n  " : "\n  ") + obj;
            } else {
                printf("removed  %lld  %s  %s\n", static_cast<long long>(user),
                       PlainText(r.strFileIndex).c_str(), PlainText(r.strFilePath).c_str());
            }
            ++count;
        }
    }
    if (args.Json())
        printf("%s%s]\n", json.c_str(), count ? "\n" : "");
    else if (count == 0)
        printf("no failed course files\n");
    return kExitOk;
}

int RunQueue(CCliArgs& args)
{
    long long userId = 0;
    bool oneUser = false;
    if (!args.TakeInt64("--user-id", &userId, &oneUser))
        return UsageError(args, args.Error());
    const bool remove = args.TakeFlag("--remove");
    const bool removeFailed = args.TakeFlag("--remove-failed");
    std::vector<std::string> indexes;
    if (!args.Positionals(&indexes))
        return UsageError(args, args.Error());
    if (remove && removeFailed)
        return UsageError(args, "--remove and --remove-failed do not go together");
    if (remove && indexes.empty())
        return UsageError(args, "--remove needs the file index of each course file to remove (vexora queue "
                                "lists them)");
    if (!remove && !indexes.empty())
        return UsageError(args, "queue takes no arguments without --remove");

    const std::string path = CLocalDb::DefaultPath();
    if (!FileExists(path))
        return Fail("no database at " + path + ": the file does not exist");
    if (remove || removeFailed)
        return RemoveRecords(args, path, oneUser, userId, indexes, removeFailed);
    // Read only: the client may be running on the same file, and an older file is left as it is.
    DbOpenOptions options;
    options.bReadOnly = true;
    CLocalDb db(path, options);
    if (!db.IsOpen())
        return Fail("cannot open " + path + ": " + db.LastError());
    std::map<int64_t, std::vector<_sLCItemData>> stored;
    if (!LoadStored(db, oneUser, userId, &stored))
        return Fail("cannot read the course files of " + path + ": " + db.LastError());

    std::string json = "[";
    size_t count = 0;
    std::vector<std::string> blocked;
    for (const auto& [user, records] : stored) {
        for (const _sLCItemData& s : records) {
            const _sLCItemData r = FoldedCopy(s);
            if (args.Json()) {
                std::string obj = Describe(s, user).Json();
                obj.pop_back(); // the trailing line feed
                json += (count ? ",\n  " : "\n  ") + obj;
            } else {
                printf("%lld  %s  %2d %s  %3d%%  %s bytes  %s\n", static_cast<long long>(user),
                       PlainText(r.strFileIndex).c_str(), r.nStatus, StatusText(r.nStatus).c_str(),
                       r.nProgress, std::to_string(r.i64FileSize).c_str(), PlainText(r.strFilePath).c_str());
            }
            if (std::string why = BlockedCause(s); !why.empty())
                blocked.push_back(r.strFileIndex + " " + r.strFilePath + ": " + why);
            ++count;
        }
    }
    if (args.Json())
        printf("%s%s]\n", json.c_str(), count ? "\n" : "");
    else if (count == 0)
        printf("no course files%s\n", oneUser ? " for this user" : "");
    fflush(stdout);
    // On standard error, so the list itself keeps its shape for scripts.
    for (const std::string& line : blocked)
        Fail("waits for you: " + line);
    if (!blocked.empty())
        Fail(std::to_string(blocked.size()) + " course files cannot get further until you act (vexora run " +
             "leaves them alone); vexora queue --remove INDEX... or --remove-failed removes them");
    return kExitOk;
}

} // namespace

VX_CLI_COMMAND("queue", "queue [--user-id ID] [--remove INDEX... | --remove-failed]",
               "list the course files waiting in the local database, or remove some", RunQueue);

} // namespace vx::cli
