// The settings windows' rules on a real database file: which pages are read back, what the
// 3036 bits say, how the options word loads, the checks with their texts, the start-up
// window's insistence on a size, and a save the database refuses.

#include "account/SetDataEditor.h"
#include "AccountFixture.h"
#include "account/StartSetEditor.h"
#include "pipeline/ConvertSettings.h"

#include <sqlite3.h>

using namespace vx;
using namespace vx::test;

namespace {

class SetDataFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CopyLanguage(m_dir.Path());
        WriteFile(m_dir.File("Config.ini"), "[server]\n");
        m_config = std::make_unique<CAppConfig>(m_dir.File("Config.ini"));
        m_config->m_i64UserId = 42;
        m_dbPath = m_dir.File("DB/vexora_v2.0.db");
        m_db = std::make_unique<CLocalDb>(m_dbPath, DbOpenOptions{false, true, 200, "/proc/self/mounts"});
        ASSERT_TRUE(m_db->IsOpen());
        vx::MakeDirs(m_dir.File("out"));
        _sSetData stored;
        stored.strConvertPath = m_dir.File("out");
        stored.nConvertMax = 2;
        stored.nUploadMax = 2;
        stored.strTimeStamp = "lesson";
        stored.nUinfo = 0x100; // the name suffix, not the date stamp
        ASSERT_TRUE(m_db->UpDateSetData(stored, 42));
        m_config->SetUserOptions(stored);
    }
    _sSetData Stored()
    {
        _sSetData d;
        EXPECT_TRUE(m_db->GetSetData(d, 42));
        return d;
    }

    CTempDir m_dir;
    std::unique_ptr<CAppConfig> m_config;
    std::string m_dbPath;
    std::unique_ptr<CLocalDb> m_db;
};

} // namespace

TEST_F(SetDataFixture, OnlyOpenedPagesAreReadBackAndTheBitsSayWhatChanged)
{
    // OK straight away: the unopened pages' blank controls must not overwrite anything.
    {
        CSetDataEditor ed(m_config->m_setData, 4);
        SetDataForm form;
        ASSERT_TRUE(ed.ShowPage(kPageGeneral, form));
        SetDataCommit r = ed.Commit(form, *m_db, *m_config);
        ASSERT_TRUE(r.bSaved) << r.strMessage;
        EXPECT_EQ(r.changed, 0);
        EXPECT_EQ(Stored().strTimeStamp, "lesson");
        EXPECT_EQ(Stored().nConvertMax, 2);
        EXPECT_EQ(Stored().strConvertPath, m_dir.File("out"));
    }
    // Uploads only: 2.
    {
        CSetDataEditor ed(m_config->m_setData, 4);
        SetDataForm form;
        ed.ShowPage(kPageGeneral, form);
        ASSERT_TRUE(ed.ShowPage(kPageUpload, form));
        EXPECT_EQ(form.uploadcomb, 1);
        EXPECT_EQ(form.Cumstomstamp, "lesson");
        EXPECT_TRUE(form.stampEditable);
        form.uploadcomb = 3;
        SetDataCommit r = ed.Commit(form, *m_db, *m_config);
        ASSERT_TRUE(r.bSaved);
        EXPECT_EQ(r.changed, kChangedUploads);
        EXPECT_EQ(Stored().nUploadMax, 4);
        EXPECT_EQ(m_config->m_setData.nUploadMax, 4);
    }
    // The folder only: 1; both: 3.
    vx::MakeDirs(m_dir.File("out2"));
    {
        CSetDataEditor ed(m_config->m_setData, 4);
        SetDataForm form;
        ASSERT_TRUE(ed.ShowPage(kPageFiles, form));
        EXPECT_EQ(form.savepath, m_dir.File("out"));
        EXPECT_EQ(form.converNumItems, 4);
        EXPECT_EQ(form.converNum, 1);
        EXPECT_FALSE(ed.ShowPage(kPageFiles, form)); // a second visit keeps the user's values
        EXPECT_EQ(form.focus, "autodelete");
        form.savepath = m_dir.File("out2");
        SetDataCommit r = ed.Commit(form, *m_db, *m_config);
        ASSERT_TRUE(r.bSaved);
        EXPECT_EQ(r.changed, kChangedConversion);
    }
    {
        CSetDataEditor ed(m_config->m_setData, 4);
        SetDataForm form;
        ed.ShowPage(kPageFiles, form);
        ed.ShowPage(kPageUpload, form);
        form.converNum = 3;
        form.uploadcomb = 0;
        SetDataCommit r = ed.Commit(form, *m_db, *m_config);
        ASSERT_TRUE(r.bSaved);
        EXPECT_EQ(r.changed, kChangedConversion | kChangedUploads);
        EXPECT_EQ(Stored().nConvertMax, 4);
    }
}

TEST_F(SetDataFixture, ClosingChoiceLoadsWithExitWinningAndSavesBothWays)
{
    auto load = [&](int uinfo) {
        _sSetData d = m_config->m_setData;
        d.nUinfo = uinfo;
        CSetDataEditor ed(d, 2);
        SetDataForm form;
        ed.ShowPage(kPageGeneral, form);
        return form;
    };
    SetDataForm f = load(0x04 | 0x100 | 0x02);
    EXPECT_TRUE(f.exitApp);
    EXPECT_FALSE(f.showmin);
    EXPECT_TRUE(f.autopoweroff);
    f = load(0x100);
    EXPECT_FALSE(f.exitApp);
    EXPECT_TRUE(f.showmin);
    f = load(0);
    EXPECT_FALSE(f.exitApp);
    EXPECT_FALSE(f.showmin);

    CSetDataEditor ed(m_config->m_setData, 2);
    SetDataForm form;
    ed.ShowPage(kPageGeneral, form);
    form.exitApp = true;
    form.autopoweroff = true;
    ASSERT_TRUE(ed.Commit(form, *m_db, *m_config).bSaved);
    EXPECT_EQ(Stored().nUinfo & (0x04 | 0x02), 0x06);
    form.exitApp = false;
    form.showmin = true;
    form.autopoweroff = false;
    ASSERT_TRUE(ed.Commit(form, *m_db, *m_config).bSaved);
    EXPECT_EQ(Stored().nUinfo & (0x04 | 0x100 | 0x02), 0x100);
}

TEST_F(SetDataFixture, RefusalsShowTheirTextsAndStoreNothing)
{
    CSetDataEditor ed(m_config->m_setData, 4);
    SetDataForm form;
    ed.ShowPage(kPageFiles, form);
    ed.ShowPage(kPageUpload, form);
    const _sSetData before = Stored();

    form.savepath = m_dir.File("missing-folder");
    SetDataCommit r = ed.Commit(form, *m_db, *m_config);
    EXPECT_FALSE(r.bSaved);
    EXPECT_EQ(r.textId, 2204);
    EXPECT_TRUE(r.bSystemBox);
    EXPECT_EQ(r.strMessage, m_config->GetText(2204));
    form.savepath = m_dir.File("out");

    ToggleUnknownSize(form, true, ed.UnknownChoice());
    ChooseUnknownSize(form, 3);
    EXPECT_FALSE(form.sizeEditsReadOnly);
    EXPECT_EQ(form.focus, "uknowW");
    form.uknowW = "640";
    form.uknowH = "0";
    r = ed.Commit(form, *m_db, *m_config);
    EXPECT_EQ(r.textId, 2200);
    form.uknowH = "abc";
    EXPECT_EQ(ed.Commit(form, *m_db, *m_config).textId, 2200);
    ChooseUnknownSize(form, 1);
    EXPECT_EQ(form.uknowW, "800");
    EXPECT_EQ(form.uknowH, "600");
    EXPECT_TRUE(form.sizeEditsReadOnly);

    form.Cumstomstamp = "";
    r = ed.Commit(form, *m_db, *m_config);
    EXPECT_EQ(r.textId, 2201);
    EXPECT_EQ(r.strMessage, m_config->GetText(2201));
    // Pasted text reaches the check as well as typed text.
    for (const char* bad : {"a/b", "第1课\xEF\xBF\xA5", "x?", "50%", "tab\\"}) {
        form.Cumstomstamp = bad;
        r = ed.Commit(form, *m_db, *m_config);
        EXPECT_EQ(r.textId, 2202) << bad;
        EXPECT_EQ(r.strMessage, m_config->GetText(2202) + "\r\n" + kForbiddenSuffixChars);
    }
    EXPECT_EQ(Stored(), before);

    form.Cumstomstamp = "第一课lesson";
    r = ed.Commit(form, *m_db, *m_config);
    ASSERT_TRUE(r.bSaved) << r.strMessage;
    EXPECT_EQ(Stored().strTimeStamp, "第一课lesson");
    EXPECT_EQ(Stored().nUnkConvertWidth, 800);
    EXPECT_EQ(Stored().nUnkVideoConvertType, 1);
    EXPECT_NE(Stored().nUinfo & 0x10, 0);
}

TEST_F(SetDataFixture, ConversionCountDefaultsFollowTheProcessorCount)
{
    EXPECT_EQ(DefaultConvertCount(-1, 1), 1);
    EXPECT_EQ(DefaultConvertCount(-1, 2), 1);
    EXPECT_EQ(DefaultConvertCount(-1, 4), 2);
    EXPECT_EQ(DefaultConvertCount(-1, 6), 4);
    EXPECT_EQ(DefaultConvertCount(-1, 8), 4);
    EXPECT_EQ(DefaultConvertCount(-1, 12), 1);
    EXPECT_EQ(DefaultConvertCount(7, 6), 1); // more than the machine has
    EXPECT_EQ(DefaultConvertCount(3, 6), 3);

    _sSetData d = m_config->m_setData;
    d.nConvertMax = -1;
    SetDataForm form;
    CSetDataEditor six(d, 6);
    six.ShowPage(kPageFiles, form);
    EXPECT_EQ(form.converNumItems, 6);
    EXPECT_EQ(form.converNum, 3); // "4"
}

TEST_F(SetDataFixture, AFailedSaveIsReportedAndNothingBecomesCurrent)
{
    CSetDataEditor ed(m_config->m_setData, 4);
    SetDataForm form;
    ed.ShowPage(kPageUpload, form);
    form.uploadcomb = 4;

    // Another program holds the file locked past the busy wait.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_dbPath.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    SetDataCommit r = ed.Commit(form, *m_db, *m_config);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_FALSE(r.bSaved);
    EXPECT_EQ(r.textId, 0);
    EXPECT_NE(r.strMessage.find(m_dbPath), std::string::npos) << r.strMessage;
    EXPECT_NE(r.strMessage.find("locked"), std::string::npos) << r.strMessage;
    EXPECT_EQ(m_config->m_setData.nUploadMax, 2);
    EXPECT_EQ(Stored().nUploadMax, 2);
    // The user's values are still there for another try.
    EXPECT_EQ(form.uploadcomb, 4);
    r = ed.Commit(form, *m_db, *m_config);
    EXPECT_TRUE(r.bSaved) << r.strMessage;
    EXPECT_EQ(Stored().nUploadMax, 5);
}

TEST_F(SetDataFixture, TheStartUpWindowLetsGoOnlyWithAnUnknownSize)
{
    CStartSetEditor ed(4);
    SetDataForm form;
    ed.Init(*m_db, *m_config, form);
    EXPECT_FALSE(form.uknowsize);
    EXPECT_FALSE(form.sizeControlsEnabled);
    EXPECT_EQ(form.Cumstomstamp, "lesson");

    StartSetResult r = ed.TryClose(form, *m_db, *m_config); // Escape, Close, Cancel
    EXPECT_FALSE(r.bClose);
    EXPECT_TRUE(r.bShowSizeError);

    form.uploadcomb = 2;
    r = ed.Ok(form, *m_db, *m_config);
    EXPECT_FALSE(r.bClose);
    EXPECT_TRUE(r.bShowSizeError);
    EXPECT_EQ(Stored().nUploadMax, 3); // stored even though the window stays

    form.Cumstomstamp = "a|b";
    r = ed.Ok(form, *m_db, *m_config);
    EXPECT_EQ(r.textId, 2202);
    EXPECT_FALSE(r.bShowSizeError);
    form.Cumstomstamp = "lesson";

    ToggleUnknownSize(form, true, ed.UnknownChoice());
    ChooseUnknownSize(form, 2);
    form.showaway = true;
    r = ed.Ok(form, *m_db, *m_config);
    EXPECT_TRUE(r.bClose) << r.strMessage;
    const _sSetData s = Stored();
    EXPECT_EQ(s.nUinfo & 0x90, 0x90);
    EXPECT_EQ(s.nUnkConvertWidth, 1024);
    EXPECT_EQ(s.nUnkConvertHeight, 768);
    EXPECT_EQ(m_config->m_setData, s);
}
