// SPDX-License-Identifier: MIT
#include "testing/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

// A program that cannot be started is reported as a shell reports it, and
// no other process is waited for or signalled in its place.
TEST(Process, ProgramThatCannotStartExitsWith127) {
    program_result r = run_program("/nonexistent/program", {}, "input", 0, 5000);
    EXPECT_EQ(r.exit_code, 127);
    EXPECT_FALSE(r.timed_out);
    running_program p = start_program("/nonexistent/program", {});
    EXPECT_EQ(finish_program(p, 5000).exit_code, 127);
}

// The spawned program gets SIGPIPE's default action although the test
// process ignores it (start_program does), so a writer whose reader has
// gone ends as it would in a shell pipeline; its peak memory is readable
// while it runs and not after it has been reaped.
TEST(Process, SpawnedProgramHasDefaultSigpipeAndAPeak) {
    signal(SIGPIPE, SIG_IGN);
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    const int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid =
        spawn_process({"/bin/sh", "-c", "sleep 0.2; i=0; while [ $i -lt 100000 ]; do echo x; i=$((i+1)); done"},
                      null_fd, out[1], null_fd);
    ASSERT_GT(pid, 0);
    close(out[1]);
    close(null_fd);
    EXPECT_GT(process_peak_kib(pid), 0);
    close(out[0]);  // the reader goes away
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGPIPE);
    EXPECT_EQ(process_peak_kib(pid), -1);
}

}  // namespace
