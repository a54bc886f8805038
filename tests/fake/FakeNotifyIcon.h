// The notification area, simulated: every request the program makes of it,
// a shell whose answers to the adds a test scripts (refusing, timing out,
// accepting late), and the icon's events, raised while the icon is shown.
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
        Picture picture;
        std::string tip, title, text;
        std::uint32_t timeout = 0;
        double at = 0;
    };
    // The shell's answer to an add, and whether it took the icon all the same.
    struct Reply {
        IconAnswer answer;
        bool added;
    };

    std::vector<Request> requests;
    std::deque<Reply> addReplies;  // for the next adds; none left: the add is done
    bool holdsIcon = false;        // what the shell really holds
    std::vector<double> retryDelays;

    std::vector<Request> balloons() const {
        std::vector<Request> out;
        for (const Request& r : requests)
            if (r.kind == Kind::Balloon && !r.text.empty()) out.push_back(r);
        return out;
    }
    void click() { raise(&NotifyIconEvents::onIconClicked); }
    void balloonClosed() { raise(&NotifyIconEvents::onBalloonClosed); }
    void taskbarCreated() {
        holdsIcon = false;
        raise(&NotifyIconEvents::onTaskbarCreated);
    }
    void displayChanged() { raise(&NotifyIconEvents::onDisplayChanged); }

    std::unique_ptr<NotifyIcon> createIcon(WindowHandle, NotifyIconEvents& events) override {
        events_ = &events;
        return std::make_unique<Icon>(*this);
    }

private:
    struct Icon : NotifyIcon {
        explicit Icon(FakeNotificationArea& area) : area(area) {}
        ~Icon() override { area.events_ = nullptr; }
        IconAnswer show(const Picture& picture, const std::string& tip) override {
            Request& add = area.note(Kind::Add);
            add.picture = picture;
            add.tip = tip;
            area.showing_ = true;
            const Reply reply =
                area.addReplies.empty() ? Reply{IconAnswer::Done, true} : area.addReplies.front();
            if (!area.addReplies.empty()) area.addReplies.pop_front();
            // An icon that is there already cannot be added again.
            if (area.holdsIcon) return IconAnswer::Refused;
            area.holdsIcon = reply.added;
            return reply.answer;
        }
        bool present() override {
            area.note(Kind::Ask);
            return modified() == IconAnswer::Done;
        }
        IconAnswer setPicture(const Picture& picture) override {
            Request& r = area.note(Kind::Picture);
            r.picture = picture;
            return modified();
        }
        IconAnswer setTip(const std::string& tip) override {
            Request& r = area.note(Kind::Tip);
            r.tip = tip;
            return modified();
        }
        IconAnswer balloon(const std::string& title, const std::string& text,
                           std::uint32_t timeout) override {
            Request& r = area.note(Kind::Balloon);
            r.title = title;
            r.text = text;
            r.timeout = timeout;
            return modified();
        }
        void hide() override {
            ++area.retryGeneration_;
            if (!area.showing_) return;
            area.note(Kind::Remove);
            area.holdsIcon = area.showing_ = false;
        }
        void retryAfter(double seconds) override {
            area.retryDelays.push_back(seconds);
            area.loop_.postAt(area.loop_.now() + seconds, [this, generation = ++area.retryGeneration_] {
                if (generation == area.retryGeneration_) area.raise(&NotifyIconEvents::onRetryDue);
            });
        }
        // Only an icon the shell holds can be modified.
        IconAnswer modified() const { return area.holdsIcon ? IconAnswer::Done : IconAnswer::Refused; }
        FakeNotificationArea& area;
    };

    Request& note(Kind kind) {
        failures_.check("notifyIcon");
        Request& request = requests.emplace_back();
        request.kind = kind;
        request.at = loop_.now();
        return request;
    }
    void raise(void (NotifyIconEvents::*event)()) {
        if (events_ != nullptr && showing_) (events_->*event)();
    }

    Failures& failures_;
    FakeLoop& loop_;
    NotifyIconEvents* events_ = nullptr;
    bool showing_ = false;
    int retryGeneration_ = 0;
};

}  // namespace glance::fake
