// Several processes share one registry store: two writers and three readers
// run at once; every read must be a whole value, no value may go back to an
// older generation, and every writer's last value must be there at the end.
// A process that keeps what it read must still see another's later write.
#include "platform/CRegKey.h"
#include "platform/TextCodec.h"

#include "fakes/ScratchRegistry.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace Strato;

class RegistryMultiProcessTest : public testfakes::ScratchKeyTest {};

pid_t spawn(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

int exitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST_F(RegistryMultiProcessTest, ReadersNeverSeeATornOrLostValue) {
    CRegKey stress;
    ASSERT_EQ(kErrorSuccess, stress.Create(key.handle(), L"Stress"));
    const std::string child = GLANCE_REGISTRY_STRESS_CHILD;
    const std::string count = "300";
    const std::string path = Vanta::toUtf8(testfakes::scratchPath() + L"\\Stress");

    std::vector<pid_t> processes;
    for (int i = 0; i < 3; ++i) {
        processes.push_back(spawn({child, path, "reader", count, "first", "second"}));
    }
    processes.push_back(spawn({child, path, "writer", "first", count}));
    processes.push_back(spawn({child, path, "writer", "second", count}));
    for (pid_t pid : processes) {
        ASSERT_GT(pid, 0);
    }
    for (pid_t pid : processes) {
        EXPECT_EQ(0, exitCode(pid)) << "process " << pid;
    }

    for (const wchar_t* name : {L"first", L"second"}) {
        uint8_t head[4] = {};
        uint32_t size = sizeof head;
        EXPECT_EQ(kErrorMoreData, stress.QueryBinaryValue(name, head, &size));
        EXPECT_EQ(8192u, size);
    }
}

TEST_F(RegistryMultiProcessTest, AReadAfterAnotherProcessWroteSeesTheWrite) {
    CRegKey kept;
    ASSERT_EQ(kErrorSuccess, kept.Create(key.handle(), L"Kept"));
    const std::string path = Vanta::toUtf8(testfakes::scratchPath() + L"\\Kept");
    uint8_t generation[4] = {};
    for (uint32_t written : {1u, 2u, 7u}) {
        ASSERT_EQ(0, exitCode(spawn({GLANCE_REGISTRY_STRESS_CHILD, path, "writer", "value",
                                     std::to_string(written)})));
        // Asked twice: the second answer comes from what the first one read.
        for (int ask = 0; ask < 2; ++ask) {
            uint32_t size = sizeof generation;
            EXPECT_EQ(kErrorMoreData, kept.QueryBinaryValue(L"value", generation, &size));
            uint32_t whole = 8192;
            std::vector<uint8_t> value(whole);
            ASSERT_EQ(kErrorSuccess, kept.QueryBinaryValue(L"value", value.data(), &whole));
            EXPECT_EQ(written, value[0]);
        }
    }
    uint32_t size = 0;
    ASSERT_EQ(0, exitCode(spawn({GLANCE_REGISTRY_STRESS_CHILD, path, "remove", "value"})));
    EXPECT_EQ(kErrorFileNotFound, kept.QueryBinaryValue(L"value", nullptr, &size));
}

} // namespace
