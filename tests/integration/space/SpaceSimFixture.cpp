#include "SpaceSimFixture.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace vx::test {

void SpaceSim::Start(const std::string& user, const std::vector<std::string>& simArgs)
{
    std::vector<std::string> args = {"--account", "teacher:teach123"};
    args.insert(args.end(), simArgs.begin(), simArgs.end());
    ASSERT_TRUE(m_sim.Start(args));
    m_user = user;
    m_password = user == "teacher" ? "teach123" : CSimProcess::DemoPassword();
    m_config = std::make_unique<CAppConfig>(m_sim.WriteConfig(m_dir.Path()));
    m_config->Language().Load(BinDir() + "Language/SimpleChinese");
    ASSERT_GT(m_config->Language().Count(), 0u);
    m_session = std::make_unique<CSession>(*m_config);
    ASSERT_TRUE(m_session->Login({m_user, m_password, false, false}) && m_session->PermissionGranted())
        << m_session->GetMessage() << " / " << m_session->GetFailureCause();
    m_api = std::make_unique<CSpaceApi>(*m_config);
    m_db = std::make_unique<CLocalDb>(m_dir.File("cache.db"));
    ASSERT_TRUE(m_db->IsOpen());
    m_ctl = std::make_unique<CSpaceController>(*m_config, *m_db, m_loop, &m_view);
}

void SpaceSim::Wait()
{
    ASSERT_TRUE(m_ctl->WaitIdle(30000)) << "space requests did not finish";
}

void SpaceSim::LoadTreeAndWait()
{
    m_ctl->LoadTree();
    Wait();
}

int64_t SpaceSim::MakeDir(int64_t parent, const std::string& name)
{
    int64_t id = 0;
    std::string err;
    EXPECT_TRUE(m_api->RequestForCreateDirectroy(parent, name, &id, &err)) << err << m_api->GetFailureCause();
    return id;
}

void SpaceSim::UploadPdf(int64_t dirId, const std::string& name)
{
    const std::string path = m_dir.File(name);
    ASSERT_TRUE(WriteFile(path, "%PDF-1.4\n% a small test document " + name + "\n%%EOF\n"));
    RunResult r = RunProgram("vexora",
                             {"--config", m_config->ConfigPath(), "upload", "--dir", std::to_string(dirId),
                              "--server", "127.0.0.1:" + std::to_string(m_sim.FilePorts()[0]), path},
                             {"VEXORA_USER=" + m_user, "VEXORA_PASSWORD=" + m_password,
                              "VEXORA_DATA_DIR=" + m_dir.Path() + "clidata"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

std::vector<SpaceEntry> SpaceSim::ServerList(int64_t dirId)
{
    std::vector<SpaceEntry> out;
    std::string err;
    EXPECT_TRUE(m_api->RequestForDirList(dirId, true, &out, &err)) << err;
    return out;
}

void SpaceSim::Show(int64_t dirId)
{
    m_ctl->ShowDirList(dirId);
    Wait();
    ASSERT_EQ(m_ctl->List().DirId(), dirId);
}

int SpaceSim::Row(const std::string& name) const
{
    const auto& rows = m_ctl->List().Rows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].entry.strName == name)
            return static_cast<int>(i);
    return -1;
}

void SpaceSim::Select(const std::vector<std::string>& names)
{
    std::vector<int> rows;
    for (const std::string& n : names) {
        rows.push_back(Row(n));
        ASSERT_GE(rows.back(), 0) << n << " is not listed";
    }
    m_ctl->SetListSelection(rows);
}

SpaceItemRef SpaceSim::ListRef(const std::string& name) const
{
    const int row = Row(name);
    EXPECT_GE(row, 0) << name;
    if (row < 0)
        return {};
    const SpaceEntry& e = m_ctl->List().Rows()[row].entry;
    return {SpaceSource::ListItem, e.nType == SPACE_FOLDER, e.i64Id};
}

std::vector<std::string> SpaceSim::ListNames() const
{
    std::vector<std::string> out;
    for (const SpaceListRow& r : m_ctl->List().Rows())
        out.push_back(r.entry.strName);
    return out;
}

std::vector<SpaceRow> SpaceSim::CachedDirs(int64_t parent)
{
    std::vector<SpaceRow> out;
    EXPECT_TRUE(m_db->GetDirectories(parent, UserId(), &out));
    return out;
}

size_t SpaceSim::RequestCount() const
{
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const std::string log = m_sim.LogText();
    size_t n = 0;
    for (size_t at = log.find("[web] "); at != std::string::npos; at = log.find("[web] ", at + 1))
        ++n;
    return n;
}

} // namespace vx::test
