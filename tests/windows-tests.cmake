# What of the test suite runs on the Windows leg (under Wine), and what does not yet, with the
# reason `make test-windows` prints. Folders are relative to tests/, files are matched by their
# path's end.
set(VX_WINDOWS_SKIPPED_DIRS
    ui/common ui/foundation ui/lists ui/login ui/main ui/settings ui/space ui/update
    integration/update unit/update integration/install integration/convert integration/media)
set(VX_WINDOWS_SKIP_REASONS
    "ui/*: the windows are built with Qt for Windows in the next stage"
    "unit/update, integration/update: the updater (Update.exe, TLS by Schannel) comes with the windows"
    "integration/install: the Debian package and the installed layout are Linux's"
    "integration/convert, integration/media: encoders and MediaInfo.dll are not built for Windows (Debian ships no Windows ffmpeg or mencoder); probing and conversion are skipped"
    "integration/pipeline: the document cases run; the cases on media, symbolic links or VexoraV2 skip, each printing why"
    "unit/core: the cases on symbolic links, named pipes, mode bits and HOME skip, each printing why"
    "integration/upload CliPasswordTest: types the password into a pseudo terminal, which Windows does not have (the console's no-echo input is not tested under Wine)"
)
set(VX_WINDOWS_SKIPPED_FILES integration/upload/CliPasswordTest.cpp)

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
    "TestNetWorkThread.TheServerThatTakesMoreDataWins: under Wine the measuring client, not the servers, sets the pace (both servers took about 46 KB in the 1.5 s test), so the slowed server is not told apart"
)
string(REPLACE ";" ":" VX_WINDOWS_CASE_FILTER "-${VX_WINDOWS_SKIPPED_CASES}")
