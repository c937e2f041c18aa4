// The profile panels' routes: list buttons, combo boxes, program links, renaming, and the panels'
// own show-and-hide buttons.

#include "profiles/profile_routes.h"

#include <array>
#include <string>
#include <utility>

#include "ui/controls.h"
#include "ui/paint_manager.h"

namespace gmd::profiles {

namespace {

using host::Event;
using Ops = ProfileOperations;

struct Stem {
    const char* stem;
    ListId list;
};

// The lists by the name part between the device prefix and "_add_btn" and the like.
constexpr std::array<Stem, 7> kButtonStems = {{
    {"kb_pro_deng", ListId::KeyboardLight},
    {"kb_pro_device", ListId::KeyboardDevice},
    {"kb_pro_key", ListId::KeyboardKey},
    {"mp_pro_deng", ListId::MousepadLight},
    {"ms_pro_deng", ListId::MouseLight},
    {"ms_pro_device", ListId::MouseDevice},
    {"ms_pro_key", ListId::MouseKey},
}};

// The lists by the "kb_deng" style stem of the combo, link and rename controls.
constexpr std::array<Stem, 7> kListStems = {{
    {"kb_deng", ListId::KeyboardLight},
    {"kb_key", ListId::KeyboardKey},
    {"kb_device", ListId::KeyboardDevice},
    {"ms_device", ListId::MouseDevice},
    {"ms_deng", ListId::MouseLight},
    {"ms_key", ListId::MouseKey},
    {"mp_deng", ListId::MousepadLight},
}};

void ToggleVisible(const Event& e, const std::string& name) {
    ui::CPaintManagerUI* pm = e.sender.GetManager();
    if (ui::CControlUI* control = pm != nullptr ? pm->FindControl(name) : nullptr) {
        control->SetVisible(!control->IsOwnVisible());
    }
}

}  // namespace

host::RouteTable<ProfileOperations> ProfileRoutes() {
    host::RouteTable<Ops> t;
    auto add = [&t](const char* type, std::string name, auto run) {
        t.push_back({type, std::move(name), std::move(run)});
    };

    const std::pair<const char*, ProfileOp> ops[] = {
        {"_add_btn", ProfileOp::Add},       {"_sub_btn", ProfileOp::Delete},
        {"_import_btn", ProfileOp::Import}, {"_export_btn", ProfileOp::Export},
        {"_copy_btn", ProfileOp::Copy},     {"_reset_btn", ProfileOp::Reset},
    };
    for (const auto& [suffix, op] : ops) {
        for (const Stem& s : kButtonStems) {
            add("click", std::string(s.stem) + suffix,
                [list = s.list, o = op](Ops& p, const Event&) { p.RunOperation(list, o); });
        }
    }
    for (const Stem& s : kListStems) {
        const std::string stem(s.stem);
        const ListId list = s.list;
        add("click", stem + "_profile_link_btn",
            [list](Ops& p, const Event&) { p.ChooseLinkedProgram(list); });
        add("click", stem + "_profile_edit_save_btn",
            [list](Ops& p, const Event&) { p.RenameProfile(list); });
        // Return in the name field saves the name as its button does.
        add("return", stem + "_profile_name_edit",
            [list](Ops& p, const Event&) { p.RenameProfile(list); });
        add("selectchanged", stem + "_profile_link_check",
            [list](Ops& p, const Event& e) { p.LinkCheckChanged(list, e.selected); });
        add("itemselect", stem + "_profile_combo",
            [list](Ops& p, const Event& e) { p.SelectProfile(list, e.value); });
    }
    // Only these lists have a button that removes the link.
    for (const Stem& s :
         {Stem{"ms_device", ListId::MouseDevice}, Stem{"kb_deng", ListId::KeyboardLight},
          Stem{"kb_device", ListId::KeyboardDevice}}) {
        add("click", std::string(s.stem) + "_cancle_link_btn",
            [list = s.list](Ops& p, const Event&) { p.CancelLink(list); });
    }

    // The panels: the list operations fold out, "kb_pro_deng_edit_btn" shows the rename panel
    // "kb_deng_profile_edit".
    for (const char* p : {"kb_", "mp_", "ms_"}) {
        add("click", std::string(p) + "profile_fun_spread_btn",
            [panel = std::string(p) + "profile_fun_spead_tab"](Ops&, const Event& e) {
                ToggleVisible(e, panel);
            });
    }
    for (const char* stem :
         {"kb_pro_deng", "kb_pro_key", "mp_pro_deng", "ms_pro_deng", "ms_pro_key"}) {
        const std::string s(stem);
        add("click", s + "_edit_btn",
            [panel = s.substr(0, 3) + s.substr(7) + "_profile_edit"](Ops&, const Event& e) {
                ToggleVisible(e, panel);
            });
    }
    return t;
}

}  // namespace gmd::profiles
