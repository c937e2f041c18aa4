#pragma once
// The routes a subsystem gives the shell: which control notification reaches which operation of
// the subsystem's interface. An entry names a notification type ("click", "selectchanged", ...)
// and a control, either by its whole name or by an indexed prefix: "ms_profile_" takes
// "ms_profile_3" with index 3 (the part after the last underscore). Names compare without regard
// to ASCII case. Header-only, no Qt: the shell reads the sender and runs the route.

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace gmd::ui {
class CControlUI;
}

namespace gmd::host {

// What the shell read from a notification before its route runs.
struct Event {
    ui::CControlUI& sender;
    int index = 0;          // indexed routes: the number after the prefix, 0 when it is none
    int value = 0;          // slider position, chosen row, an edit's number
    bool selected = false;  // options
};

// The bounds of an edit's number; the shell shows the corrected number in the edit.
struct EditLimits {
    int min = 0;  // 0: none
    int max = 0;
};

enum class Match { Name, IndexedPrefix };

template <typename Ops>
struct Route {
    std::string type;
    std::string name;
    std::function<void(Ops&, const Event&)> run;
    Match match = Match::Name;
    EditLimits limits{};  // "textchanged" routes
};

template <typename Ops>
using RouteTable = std::vector<Route<Ops>>;

// The part of a name up to and including its last underscore, and the decimal number after it
// (0 when the tail is not one).
struct IndexedName {
    std::string_view prefix;
    int index = 0;
};
inline IndexedName SplitIndexedName(std::string_view name) {
    const size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos) {
        return {};
    }
    IndexedName split{name.substr(0, underscore + 1), 0};
    const std::string_view tail = name.substr(underscore + 1);
    if (tail.empty() || tail.size() > 9) {
        return split;
    }
    int value = 0;
    for (char c : tail) {
        if (c < '0' || c > '9') {
            return split;
        }
        value = value * 10 + (c - '0');
    }
    split.index = value;
    return split;
}

// The routes of every plugged subsystem, each bound to its interface.
class Router {
  public:
    struct Bound {
        std::string type;
        std::string name;
        Match match;
        EditLimits limits;
        std::function<void(const Event&)> run;
    };

    // The subsystem's routes, run on `ops` (which outlives the router's use); `ops` may be the
    // page that implements the interface.
    template <typename Ops>
    void Add(const RouteTable<Ops>& table, std::type_identity_t<Ops>& ops) {
        for (const Route<Ops>& route : table) {
            routes_.push_back({route.type, route.name, route.match, route.limits,
                               [run = route.run, &ops](const Event& e) { run(ops, e); }});
        }
    }

    // The route of a notification from the control `name`; the whole name wins over a prefix.
    const Bound* Find(std::string_view type, std::string_view name) const {
        const Bound* byPrefix = nullptr;
        const std::string_view prefix = SplitIndexedName(name).prefix;
        for (const Bound& route : routes_) {
            if (route.type != type) {
                continue;
            }
            if (route.match == Match::Name && EqualsIgnoreCase(route.name, name)) {
                return &route;
            }
            if (route.match == Match::IndexedPrefix && byPrefix == nullptr && !prefix.empty() &&
                EqualsIgnoreCase(route.name, prefix)) {
                byPrefix = &route;
            }
        }
        return byPrefix;
    }

  private:
    std::vector<Bound> routes_;
};

}  // namespace gmd::host
