#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "tests/fakes/FakeDialogWindow.h"
#include "tests/fakes/FakePlatform.h"

namespace qv::test {

inline const std::string kHost = QV_SERVER_HOST;
inline std::string Url(const std::string& path) { return "http://" + kHost + path; }

inline const std::string kWindows = "C:\\WINDOWS";
inline const std::string kSystem = "C:\\WINDOWS\\system32";

// A fake Windows with the debug switch on, an empty file table and the main
// dialog attached to a fake window.
class ProgramTest : public ::testing::Test {
protected:
    ProgramTest() : window(platform.fake, dialog) {
        for (FileInfo& row : g_FileInfo) row = FileInfo();
        fake.SetDebugSwitch(true);
        dialog.AttachWindow(window);
    }
    ~ProgramTest() override {
        for (FileInfo& row : g_FileInfo) row = FileInfo();
    }

    // Runs f and returns the exit code it ended the process with, if it did.
    template <typename F>
    std::optional<int> ExitCodeOf(F&& f) {
        try {
            f();
        } catch (const ProcessExit& exit) {
            return exit.code;
        }
        return std::nullopt;
    }

    ScopedFakePlatform platform;
    FakePlatform& fake = platform.fake;
    CQVKestrionv4SetupDlg dialog;
    FakeDialogWindow window;
};

inline FakeReply Reply(const std::string& body, uint32_t status = 200) {
    FakeReply reply;
    reply.status = status;
    reply.body = body;
    reply.contentLength = static_cast<uint32_t>(body.size());
    return reply;
}

inline FixedFileVersion Version(unsigned a, unsigned b, unsigned c, unsigned d) {
    return FixedFileVersion{(a << 16) | b, (c << 16) | d};
}

}  // namespace qv::test
