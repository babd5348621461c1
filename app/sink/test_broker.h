// SPDX-License-Identifier: MIT
#pragma once
// A real mosquitto broker for the MQTT tests and the benchmark: started on a
// free loopback port with a configuration of its own in a private folder,
// stopped and restarted on the same port, optionally with TLS; and a real
// subscriber (libmosquitto) that collects what it receives.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// The broker program: /usr/sbin/mosquitto, else mosquitto on PATH; empty if
// neither is there.
std::string find_mosquitto();

// A program on PATH ("openssl"), or empty.
std::string find_on_path(const std::string &name);

struct broker_tls {
    std::string cafile, certfile, keyfile;
};

class test_broker {
   public:
    explicit test_broker(bool persistence = false, broker_tls tls = {});
    ~test_broker();

    // Starts the broker (on the same port as before, after a stop) and waits
    // until it accepts connections; false with error if it does not.
    bool start(std::string &error);
    // A clean stop (SIGTERM: it saves what it persists) and the wait for it.
    void stop();
    bool running() const { return pid_ > 0; }
    int port() const { return port_; }
    const std::string &dir() const { return dir_; }
    std::string log() const;
    // Clients must give a user and password from this file (made by
    // mosquitto_passwd); takes effect at the next start.
    void require_password(const std::string &password_file) { password_file_ = password_file; }

   private:
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
    bool persistence_;
    broker_tls tls_;
    std::string password_file_;
};

struct received_message {
    std::string topic, payload;
    bool retained = false;
};

// A subscriber to one topic filter at QoS 1. With a client id and
// clean_session false, its subscription outlives a broker restart with
// persistence, so that it misses nothing published while it reconnects.
class test_subscriber {
   public:
    test_subscriber();
    ~test_subscriber();
    // Connects (retrying for up to timeout_ms) and subscribes; true once the
    // subscription is acknowledged.
    bool connect(int port, const std::string &filter, const std::string &client_id = "", bool clean = true,
                 const std::string &cafile = "", int timeout_ms = 10000);
    void disconnect();
    // Waits until pred holds for what has arrived, at most timeout_ms.
    template <typename Pred>
    bool wait_for(Pred pred, int timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return pred(messages_); });
    }
    std::vector<received_message> messages();

   private:
    static void on_message(struct mosquitto *, void *, const struct mosquitto_message *);
    static void on_subscribe(struct mosquitto *, void *, int, int, const int *);
    struct mosquitto *mosq_ = nullptr;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<received_message> messages_;
    bool subscribed_ = false;
};

// Makes a CA and a server certificate for 127.0.0.1 with openssl in dir;
// false with error if openssl fails.
bool make_test_certificates(const std::string &openssl, const std::string &dir, broker_tls &tls, std::string &error);
