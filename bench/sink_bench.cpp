// SPDX-License-Identifier: MIT
// The call log and MQTT output under load: events per second written to an
// SQLite log and published to a real mosquitto broker (started here on a
// free loopback port, with one subscriber to zelvane/#) at once, each alone,
// and the CPU they cost at the rate of a busy channel.
//
// Usage: sink_bench [EVENTS [BUSY_RATE]]   (defaults 20000 events, 50 events/s)
//
// A run of events is the mix a busy DMR and POCSAG channel gives: a call's
// start, three updates (a new talker, an alias, a position), its end, and a
// page. "events/s" is from the first event taken to the last one committed
// to the log and acknowledged by the broker; "take" is the time the decoding
// thread spends handing events over; CPU is this process's (the broker's is
// its own).
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "mqtt_sink.h"
#include "sqlite_sink.h"
#include "test_broker.h"
#include "testing/process.h"

namespace {

double cpu_seconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

event mixed_event(long i) {
    event e;
    long call = i / 6 + 1;
    e.time = i * 0.05;
    e.station = "bench";
    e.utc = "2026-12-11T10:00:00.000Z";
    e.frequency = 439012500;
    switch (i % 6) {
        case 5:
            e.protocol = event_protocol::pocsag;
            e.kind = event_kind::page;
            e.baud = 1200;
            e.address = 1234000 + call % 100;
            e.function = 3;
            e.message = "ALARM STATION " + std::to_string(call) + " RESPOND TO GRID 4711";
            return e;
        case 4:
            e.kind = event_kind::call_end;
            e.duration = 4.2;
            e.audio = "call-" + std::to_string(call) + ".wav";
            break;
        default:
            e.kind = event_kind::call;
            break;
    }
    e.protocol = event_protocol::dmr;
    e.call_id = static_cast<uint64_t>(call);
    e.slot = 1 + static_cast<int>(call % 2);
    e.type = "group";
    e.source = i % 6 == 0 ? 2620001 : 2620002;
    e.target = 2001 + call % 20;
    e.target_name = "Ops North";
    if (i % 6 >= 2) e.alias = "DL1ABC";
    if (i % 6 >= 3) {
        e.has_position = true;
        e.lat = 52.5;
        e.lon = 13.25;
    }
    return e;
}

struct figures {
    double wall = 0, cpu = 0, take = 0;
};

// Feeds count events (at rate per second, 0: as fast as they are taken) to
// the sinks and waits for both to have written everything.
figures run(sqlite_sink *log, mqtt_sink *mqtt, long count, double rate) {
    figures f;
    double cpu0 = cpu_seconds();
    auto start = std::chrono::steady_clock::now();
    std::chrono::duration<double> in_take{0};
    for (long i = 0; i < count; ++i) {
        if (rate > 0) std::this_thread::sleep_until(start + std::chrono::duration<double>(i / rate));
        event e = mixed_event(i);
        auto t0 = std::chrono::steady_clock::now();
        if (log) log->take(e);
        if (mqtt) mqtt->take(e);
        in_take += std::chrono::steady_clock::now() - t0;
    }
    if (log && !log->drain(120000)) std::fprintf(stderr, "sink_bench: the log did not catch up\n");
    if (mqtt && !mqtt->drain(120000)) std::fprintf(stderr, "sink_bench: the broker did not catch up\n");
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.cpu = cpu_seconds() - cpu0;
    f.take = in_take.count();
    return f;
}

void print(const char *what, long count, const figures &f) {
    std::printf("%-22s %7ld events  %8.0f events/s  CPU %6.1f us/event  take %5.2f us/event\n", what, count,
                count / f.wall, 1e6 * f.cpu / count, 1e6 * f.take / count);
}

}  // namespace

int main(int argc, char **argv) {
    long count = argc > 1 ? std::atol(argv[1]) : 20000;
    double busy_rate = argc > 2 ? std::atof(argv[2]) : 50;
    test_broker broker;
    std::string error;
    if (!broker.start(error)) {
        std::fprintf(stderr, "sink_bench: %s\n", error.c_str());
        return 1;
    }
    std::string dir = make_temp_dir();
    // The consumer is a process of its own (mosquitto_sub), so that the CPU
    // figures are the sinks' alone.
    std::string sub = find_on_path("mosquitto_sub");
    pid_t consumer = -1;
    if (!sub.empty()) {
        int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
        int out_fd = open((dir + "/received").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        consumer =
            spawn_process({sub, "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-q", "1", "-t", "zelvane/#"},
                          null_fd, out_fd, null_fd);
        close(null_fd);
        close(out_fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    auto open_log = [&](const std::string &name) {
        sqlite_sink_options o;
        o.path = dir + "/" + name;
        o.queue_limit = static_cast<size_t>(count) + 1;  // the figure is of writing, not of dropping
        std::unique_ptr<sqlite_sink> log = open_sqlite_sink(o, error);
        if (!log) std::fprintf(stderr, "sink_bench: %s\n", error.c_str()), std::exit(1);
        return log;
    };
    auto open_mqtt = [&](const std::string &station) {
        mqtt_sink_options o;
        o.address.host = "127.0.0.1";
        o.address.port = broker.port();
        o.station = station;
        o.queue_limit = static_cast<size_t>(count) + 1;
        std::unique_ptr<mqtt_sink> mqtt = open_mqtt_sink(o, error);
        if (!mqtt) std::fprintf(stderr, "sink_bench: %s\n", error.c_str()), std::exit(1);
        mqtt->drain(5000);  // connected, status published
        return mqtt;
    };

    std::printf("sink_bench: %ld events a run, broker mosquitto on 127.0.0.1:%d, log in %s\n", count, broker.port(),
                dir.c_str());
    {
        auto log = open_log("alone.db");
        print("SQLite log alone", count, run(log.get(), nullptr, count, 0));
        log->finish(false);
    }
    {
        auto mqtt = open_mqtt("alone");
        print("MQTT alone", count, run(nullptr, mqtt.get(), count, 0));
        mqtt->finish(false);
    }
    {
        auto log = open_log("both.db");
        auto mqtt = open_mqtt("both");
        print("SQLite + MQTT at once", count, run(log.get(), mqtt.get(), count, 0));
        log->finish(false);
        mqtt->finish(false);
    }
    {
        // A busy channel: events at busy_rate per second for 10 seconds.
        auto log = open_log("busy.db");
        auto mqtt = open_mqtt("busy");
        long n = static_cast<long>(busy_rate * 10);
        figures f = run(log.get(), mqtt.get(), n, busy_rate);
        std::printf("busy channel, %.0f events/s for %.0f s: log + MQTT cost %.2f %% of one core\n", busy_rate, f.wall,
                    100 * f.cpu / f.wall);
        log->finish(false);
        mqtt->finish(false);
    }
    if (consumer > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(consumer, SIGTERM);
        waitpid(consumer, nullptr, 0);
        std::string received = read_file(dir + "/received");
        long lines = 0;
        for (char c : received) lines += c == '\n';
        std::printf("mosquitto_sub on zelvane/# received %ld messages\n", lines);
    }
    broker.stop();
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
