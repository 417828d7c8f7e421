#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// A test's script of user actions, each "name" or "name:argument", run in
// order. Each test names the actions it knows; run() stops at the first one
// it does not know and gives it back, so a misspelt action fails the test
// instead of being skipped.
class ActionScript
{
public:
    using Action = std::function<void(const QString& argument)>;

    ActionScript& on(const QString& name, Action action)
    {
        actions_.insert(name, std::move(action));
        return *this;
    }
    ActionScript& on(const QStringList& names, const Action& action)
    {
        for (const QString& name : names)
            on(name, action);
        return *this;
    }

    // Empty when every action ran.
    [[nodiscard]] QString run(const QStringList& script) const
    {
        for (const QString& step : script) {
            const auto action = actions_.constFind(step.section(u':', 0, 0));
            if (action == actions_.cend())
                return step;
            (*action)(step.section(u':', 1));
        }
        return {};
    }

private:
    QHash<QString, Action> actions_;
};
