// SPDX-License-Identifier: MIT
#include "line_sinks.h"

#include "event_forms.h"
#include "fd_writer.h"

namespace {

class line_sink final : public event_sink {
   public:
    line_sink(bool json, int fd, const volatile std::sig_atomic_t *stop, std::function<void()> before_line)
        : json_(json), before_line_(std::move(before_line)) {
        writer_.fd = fd;
        writer_.stop = stop;
    }

    void take(event &e) override {
        // A repeated page is counted by the logs, not reported again.
        if (e.kind == event_kind::page_repeat) return;
        if (before_line_) before_line_();
        fd_write(writer_, json_ ? event_json(e) + "\n" : event_text(e));
    }

    bool failed(std::string &message) const override {
        if (writer_.failure.empty()) return false;
        message = writer_.failure;
        return true;
    }

    bool gone() const { return writer_.gone; }

   private:
    bool json_;
    std::function<void()> before_line_;
    fd_writer writer_;
};

}  // namespace

std::unique_ptr<event_sink> make_text_sink(int fd, const volatile std::sig_atomic_t *stop,
                                           std::function<void()> before_line) {
    return std::make_unique<line_sink>(false, fd, stop, std::move(before_line));
}

std::unique_ptr<event_sink> make_json_sink(int fd, const volatile std::sig_atomic_t *stop,
                                           std::function<void()> before_line) {
    return std::make_unique<line_sink>(true, fd, stop, std::move(before_line));
}

bool line_sink_reader_gone(const event_sink &sink) {
    auto *s = dynamic_cast<const line_sink *>(&sink);
    return s && s->gone();
}
