// Components: controls without a screen presence (common dialogs, table providers, data sources,
// the menu component, the spreadsheet and database components), holding named settings that
// later code reads.
#include <QObject>
#include <QPointer>
#include <map>

#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

namespace {

class Component : public Control {
public:
    Component(FormWindow& win, const ControlDef& def) : Control(win, def), object_(new QObject(&win)) {
        object_->setObjectName(qs(def.name));
        switch (def.kind) {
            case ControlKind::CommonDialog:
                props_["title"] = std::string(def.dialogTitle);
                props_["filter"] = std::string(def.target);
                props_["folder"] = std::string(def.dialogFolder);
                props_["mustExist"] = def.mustExist;
                props_["fileName"] = std::string();
                break;
            case ControlKind::TableProvider:
                props_["file"] = std::string(def.target);
                props_["password"] = std::string();
                break;
            case ControlKind::DataSource:
                props_["provider"] = std::string(def.target);
                props_["readOnly"] = def.readOnlyData;
                break;
            case ControlKind::MenuComponent: props_["font"] = std::string(def.target); break;
            default: break;
        }
    }
    ~Component() override { delete object_; }
    QObject* object() const override { return object_; }
    bool set(std::string_view p, const Value& v) override {
        if (def().kind == ControlKind::CommonDialog && p == "text") p = "fileName";
        props_[std::string(p)] = v;
        if ((def().kind == ControlKind::TableProvider && p == "file") ||
            (def().kind == ControlKind::DataSource && (p == "provider" || p == "readOnly")))
            rebindTableViews(window());
        return true;
    }
    Value get(std::string_view p) const override {
        if (def().kind == ControlKind::CommonDialog && p == "text") p = "fileName";
        auto it = props_.find(p);
        return it == props_.end() ? Value{} : it->second;
    }

private:
    QPointer<QObject> object_;
    std::map<std::string, Value, std::less<>> props_;
};

}  // namespace

std::unique_ptr<Control> createComponent(FormWindow& window, const ControlDef& def) {
    return std::make_unique<Component>(window, def);
}

}  // namespace runtime::ui::detail
