// Every command the program offers, by id: what runs it, whether it can be
// chosen now, and whether it shows a check mark. The part that owns a command
// registers it; menus, toolbar, accelerators, the context menu and tests all
// go through the table, so a command is found from its id in one place.
#pragma once

#include <functional>
#include <map>
#include <string>

class CCommandTable {
public:
    struct Command {
        std::function<void()> run;
        std::function<bool()> enabled; // empty: always
        std::function<int()> checked;  // empty: no check mark; else 1 or 0
    };

    // A later registration of the same id replaces the earlier one.
    void Register(int id, Command command) { m_commands[id] = std::move(command); }
    void Register(int id, std::function<void()> run) {
        Register(id, Command{std::move(run), {}, {}});
    }

    bool Has(int id) const { return m_commands.count(id) != 0; }
    bool IsEnabled(int id) const {
        const auto it = m_commands.find(id);
        return it != m_commands.end() && (!it->second.enabled || it->second.enabled());
    }
    // 1 checked, 0 unchecked, -1 for a command without a check mark.
    int CheckState(int id) const {
        const auto it = m_commands.find(id);
        return it == m_commands.end() || !it->second.checked ? -1 : it->second.checked();
    }
    // Runs the command; false when nobody handles it or it cannot be chosen now.
    bool Run(int id) {
        if (!IsEnabled(id))
            return false;
        // A copy: the command may register others while it runs.
        const std::function<void()> run = m_commands[id].run;
        if (run)
            run();
        if (m_afterRun)
            m_afterRun(id);
        return true;
    }
    // Why a command cannot be chosen now, for its status tip while greyed
    // (UTF-8; empty: its usual prompt).
    void SetUnavailableNote(int id, std::function<std::string()> note) {
        m_notes[id] = std::move(note);
    }
    std::string UnavailableNote(int id) const {
        const auto it = m_notes.find(id);
        return it == m_notes.end() || IsEnabled(id) ? std::string() : it->second();
    }
    // Told after every command that ran (the frame brings menus and toolbar
    // up to date).
    void SetAfterRun(std::function<void(int)> afterRun) { m_afterRun = std::move(afterRun); }

private:
    std::map<int, Command> m_commands;
    std::map<int, std::function<std::string()>> m_notes;
    std::function<void(int)> m_afterRun;
};
