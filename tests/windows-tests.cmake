# What of the test suite runs on the Windows leg (under Wine), and what does not yet, with the
# reason `make test-windows` prints. Folders are relative to tests/, files are matched by their
# path's end.
set(VX_WINDOWS_SKIPPED_DIRS
    ui/common ui/foundation ui/lists ui/login ui/main ui/settings ui/space ui/update
    integration/update unit/update integration/install integration/convert integration/media
    integration/pipeline)
set(VX_WINDOWS_SKIP_REASONS
    "ui/*: the windows are built with Qt for Windows in the next stage"
    "unit/update, integration/update: the updater (Update.exe, TLS by Schannel) comes with the windows"
    "integration/install: the Debian package and the installed layout are Linux's"
    "integration/convert, integration/media, integration/pipeline: encoders and MediaInfo.dll are not built for Windows (Debian ships no Windows ffmpeg or mencoder); probing, conversion and the whole pipeline on media are skipped"
    "unit/core PlatformTest, LogFileTest, LifecycleTest, FileCheckTest, UtilsTest, ProcessTest: drive POSIX directly (fork and wait, symbolic links, signals, raw sockets) and are not ported yet; the Windows side of processes and quoting is tested by CommandLineTest"
    "integration/sim SimTestClient and the tests on it (web, upload, version, robustness), integration/upload UploadSimTest, CliPasswordTest: raw POSIX sockets, pwrite and a pseudo terminal, not ported yet"
)
set(VX_WINDOWS_SKIPPED_FILES
    unit/core/PlatformTest.cpp unit/core/LogFileTest.cpp unit/core/LifecycleTest.cpp unit/core/FileCheckTest.cpp
    unit/core/UtilsTest.cpp unit/core/ProcessTest.cpp
    integration/sim/SimTestClient.cpp integration/sim/SimWebTest.cpp integration/sim/SimUploadTest.cpp
    integration/sim/SimVersionTest.cpp integration/sim/SimRobustnessTest.cpp
    integration/upload/UploadSimTest.cpp integration/upload/CliPasswordTest.cpp)

# Single cases that test Linux's own mechanisms, by name (a gtest filter).
set(VX_WINDOWS_SKIPPED_CASES
    StoreTest.DefaultConvertFolderPicksAWritableLocalDiskElseHome
    StoreTest.OptionsRoundTripAndAnEmptyConvertFolderGetsTheDefault
    StoreTest.FirstStartCreatesEveryTableInWalModeReadableByOwnerOnly
    ConvertSettings.PriorityLowersTheEncodersNiceness
    ShutdownCommand.RunsTheConfiguredWordsWithoutAShell
    TestNetWorkThread.TheServerThatTakesMoreDataWins
)
list(APPEND VX_WINDOWS_SKIP_REASONS
    "StoreTest default convert folder cases: read a Linux mount table (the Windows side picks among fixed drives)"
    "StoreTest.FirstStartCreatesEveryTableInWalModeReadableByOwnerOnly: checks mode bits"
    "ConvertSettings.PriorityLowersTheEncodersNiceness, ShutdownCommand.RunsTheConfiguredWordsWithoutAShell: their recorders are shell scripts"
    "TestNetWorkThread.TheServerThatTakesMoreDataWins: counts bytes against Linux's socket buffer sizes; Wine's differ"
)
string(REPLACE ";" ":" VX_WINDOWS_CASE_FILTER "-${VX_WINDOWS_SKIPPED_CASES}")
