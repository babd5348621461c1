// SPDX-License-Identifier: MIT
#include "test_broker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/process.h"

namespace {

int free_loopback_port() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t size = sizeof a;
    int port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) close(fd);
    return port;
}

bool accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

}  // namespace

std::string find_on_path(const std::string &name) {
    const char *path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

std::string find_mosquitto() {
    if (access("/usr/sbin/mosquitto", X_OK) == 0) return "/usr/sbin/mosquitto";
    return find_on_path("mosquitto");
}

test_broker::test_broker(bool persistence, broker_tls tls)
    : dir_(make_temp_dir()), persistence_(persistence), tls_(std::move(tls)) {}

test_broker::~test_broker() {
    stop();
    std::string command = "rm -rf '" + dir_ + "'";
    if (std::system(command.c_str()) != 0) {
    }
}

std::string test_broker::log() const { return read_file(dir_ + "/broker.log"); }

bool test_broker::start(std::string &error) {
    std::string program = find_mosquitto();
    if (program.empty()) {
        error = "mosquitto is not installed";
        return false;
    }
    if (port_ == 0) port_ = free_loopback_port();
    std::ofstream config(dir_ + "/mosquitto.conf");
    config << "listener " << port_ << " 127.0.0.1\n"
           << "allow_anonymous " << (password_file_.empty() ? "true" : "false")
           << "\n"
           // A subscriber that falls behind is not dropped from: what the
           // tests count is the sink's loss alone.
           << "max_queued_messages 0\n"
           << "log_dest file " << dir_ << "/broker.log\n"
           << "log_type error\nlog_type warning\nlog_type notice\n";
    // As root the broker would change to its own user, who cannot read this
    // private folder.
    if (getuid() == 0) config << "user root\n";
    if (!password_file_.empty()) config << "password_file " << password_file_ << "\n";
    if (persistence_)
        config << "persistence true\npersistence_location " << dir_ << "/\n";
    else
        config << "persistence false\n";
    if (!tls_.cafile.empty())
        config << "cafile " << tls_.cafile << "\ncertfile " << tls_.certfile << "\nkeyfile " << tls_.keyfile << "\n";
    config.close();

    int null_fd = open("/dev/null", O_RDWR | O_CLOEXEC);
    int log_fd = open((dir_ + "/broker.out").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    pid_ = spawn_process({program, "-c", dir_ + "/mosquitto.conf"}, null_fd, log_fd, log_fd);
    close(null_fd);
    close(log_fd);
    if (pid_ <= 0) {
        error = "cannot start " + program;
        pid_ = -1;
        return false;
    }
    for (int i = 0; i < 500; ++i) {
        if (accepts(port_)) return true;
        int status;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "mosquitto ended at once: " + read_file(dir_ + "/broker.out") + log();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "mosquitto does not accept connections on port " + std::to_string(port_);
    stop();
    return false;
}

void test_broker::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status;
    for (int i = 0; i < 500; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

test_subscriber::test_subscriber() {
    static std::once_flag library;
    std::call_once(library, [] { mosquitto_lib_init(); });
}

test_subscriber::~test_subscriber() { disconnect(); }

void test_subscriber::disconnect() {
    if (!mosq_) return;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    subscribed_ = false;
}

bool test_subscriber::connect(int port, const std::string &filter, const std::string &client_id, bool clean,
                              const std::string &cafile, int timeout_ms) {
    disconnect();
    mosq_ = mosquitto_new(client_id.empty() ? nullptr : client_id.c_str(), clean, this);
    if (!mosq_) return false;
    mosquitto_message_callback_set(mosq_, on_message);
    mosquitto_subscribe_callback_set(mosq_, on_subscribe);
    if (!cafile.empty()) mosquitto_tls_set(mosq_, cafile.c_str(), nullptr, nullptr, nullptr, nullptr);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (mosquitto_subscribe(mosq_, nullptr, filter.c_str(), 1) != MOSQ_ERR_SUCCESS) return false;
    mosquitto_loop_start(mosq_);
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_until(lock, until, [this] { return subscribed_; });
}

std::vector<received_message> test_subscriber::messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void test_subscriber::on_message(struct mosquitto *, void *self_pointer, const struct mosquitto_message *m) {
    auto *self = static_cast<test_subscriber *>(self_pointer);
    {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->messages_.push_back(
            {m->topic, std::string(static_cast<const char *>(m->payload), m->payloadlen), m->retain});
    }
    self->arrived_.notify_all();
}

void test_subscriber::on_subscribe(struct mosquitto *, void *self_pointer, int, int, const int *) {
    auto *self = static_cast<test_subscriber *>(self_pointer);
    {
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->subscribed_ = true;
    }
    self->arrived_.notify_all();
}

bool make_test_certificates(const std::string &openssl, const std::string &dir, broker_tls &tls, std::string &error) {
    tls.cafile = dir + "/ca.crt";
    tls.certfile = dir + "/server.crt";
    tls.keyfile = dir + "/server.key";
    {
        std::ofstream ext(dir + "/server.ext");
        ext << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    }
    const std::vector<std::vector<std::string>> steps = {
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
         dir + "/ca.key", "-out", tls.cafile, "-days", "2", "-subj", "/CN=zelvane test CA"},
        {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", tls.keyfile, "-out",
         dir + "/server.csr", "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", dir + "/server.csr", "-CA", tls.cafile, "-CAkey", dir + "/ca.key", "-CAcreateserial",
         "-out", tls.certfile, "-days", "2", "-extfile", dir + "/server.ext"},
    };
    for (const auto &args : steps) {
        program_result r = run_program(openssl, args, "");
        if (r.exit_code != 0) {
            error = "openssl " + args[0] + " failed: " + r.err;
            return false;
        }
    }
    return true;
}
