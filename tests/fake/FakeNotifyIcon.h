// The notification area, simulated: every request the program makes of it,
// a shell whose answers a test scripts (refusing, timing out, accepting
// late), and the icon's events, raised only while the icon is being shown.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Failures.h"
#include "FakeLoop.h"
#include "platform/NotifyIcon.h"

namespace glance::fake {

class FakeNotificationArea : public NotificationArea {
public:
    FakeNotificationArea(Failures& failures, FakeLoop& loop) : failures_(failures), loop_(loop) {}

    enum class Kind { Add, Ask, Picture, Tip, Balloon, Remove };
    struct Request {
        Kind kind = Kind::Add;
        Picture picture;    // Add, Picture
        std::string tip;    // Add, Tip
        std::string title;  // Balloon
        std::string text;   // Balloon
        std::uint32_t timeout = 0;
        double at = 0;
    };
    // The shell's answer to an add, and whether it took the icon all the same.
    struct Reply {
        IconAnswer answer;
        bool added;
    };

    std::vector<Request> requests;
    std::deque<Reply> addReplies;  // the next adds' replies; when empty, the add is done
    bool holdsIcon = false;        // what the shell really holds
    std::vector<double> retryDelays;

    std::vector<Request> balloons() const {
        std::vector<Request> out;
        for (const Request& r : requests)
            if (r.kind == Kind::Balloon && !r.text.empty()) out.push_back(r);
        return out;
    }
    // The shell and the system, reporting to the icon while it is being shown.
    void click() { raise(&NotifyIconEvents::onIconClicked); }
    void balloonClosed() { raise(&NotifyIconEvents::onBalloonClosed); }
    void taskbarCreated() {
        holdsIcon = false;
        raise(&NotifyIconEvents::onTaskbarCreated);
    }
    void displayChanged() { raise(&NotifyIconEvents::onDisplayChanged); }

    std::unique_ptr<NotifyIcon> createIcon(WindowHandle, NotifyIconEvents& events) override {
        return std::make_unique<Icon>(*this, events);
    }

private:
    class Icon : public NotifyIcon {
    public:
        Icon(FakeNotificationArea& area, NotifyIconEvents& events) : area_(area), events_(events) {
            area_.icon_ = this;
        }
        ~Icon() override { area_.icon_ = nullptr; }
        IconAnswer show(const Picture& picture, const std::string& tip) override {
            area_.failures_.check("notifyIcon");
            Request& add = area_.note(Kind::Add);
            add.picture = picture;
            add.tip = tip;
            showing_ = true;
            Reply reply{IconAnswer::Done, true};
            if (!area_.addReplies.empty()) {
                reply = area_.addReplies.front();
                area_.addReplies.pop_front();
            }
            // An icon that is there already cannot be added again.
            if (area_.holdsIcon) return IconAnswer::Refused;
            area_.holdsIcon = reply.added;
            return reply.answer;
        }
        bool present() override { return modify(Kind::Ask) == IconAnswer::Done; }
        IconAnswer setPicture(const Picture& picture) override {
            const IconAnswer answer = modify(Kind::Picture);
            area_.requests.back().picture = picture;
            return answer;
        }
        IconAnswer setTip(const std::string& tip) override {
            const IconAnswer answer = modify(Kind::Tip);
            area_.requests.back().tip = tip;
            return answer;
        }
        IconAnswer balloon(const std::string& title, const std::string& text,
                           std::uint32_t timeout) override {
            const IconAnswer answer = modify(Kind::Balloon);
            Request& balloon = area_.requests.back();
            balloon.title = title;
            balloon.text = text;
            balloon.timeout = timeout;
            return answer;
        }
        void hide() override {
            ++retryGeneration_;
            if (!showing_) return;
            area_.failures_.check("notifyIcon");
            area_.note(Kind::Remove);
            area_.holdsIcon = false;
            showing_ = false;
        }
        void retryAfter(double seconds) override {
            area_.retryDelays.push_back(seconds);
            const int generation = ++retryGeneration_;
            area_.loop_.postAt(area_.loop_.now() + seconds, [this, generation] {
                if (generation == retryGeneration_ && showing_) events_.onRetryDue();
            });
        }

        FakeNotificationArea& area_;
        NotifyIconEvents& events_;
        bool showing_ = false;

    private:
        IconAnswer modify(Kind kind) {
            area_.failures_.check("notifyIcon");
            area_.note(kind);
            return area_.holdsIcon ? IconAnswer::Done : IconAnswer::Refused;
        }
        int retryGeneration_ = 0;
    };

    Request& note(Kind kind) {
        Request& request = requests.emplace_back();
        request.kind = kind;
        request.at = loop_.now();
        return request;
    }
    void raise(void (NotifyIconEvents::*event)()) {
        if (icon_ != nullptr && icon_->showing_) (icon_->events_.*event)();
    }

    Failures& failures_;
    FakeLoop& loop_;
    Icon* icon_ = nullptr;
};

}  // namespace glance::fake
