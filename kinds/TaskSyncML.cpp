#include "kinds/TaskSyncML.h"

#include <cmath>

#include "formats/ItemKinds.h"
#include "formats/PayloadZones.h"
#include "kinds/KindTable.h"

namespace orvanta {

TSMLTask::TSMLTask(TSMLTasks* owner) : owner_(owner) {
    Lines = {"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VTODO", "END:VTODO", "END:VCALENDAR"};
    StartLine = 2;
}

void TSMLTask::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    due_ = alarm_ = 0;
    completed_ = false;
    priority_ = 0;
    StartLine = 0;
    UnfoldLines(Lines);
    escaped_ = UsesTextEscapes(Lines);

    const std::int32_t component = FindComponent(Lines, "VTODO");
    if (component >= 0) {
        StartLine = component;
        PayloadZones zones(Lines);
        TDateTime start = 0;
        bool relativeAlarm = false;  // alarm_ holds an offset from the due time or start
        // Only the task's own lines: not those of a block inside it (a VALARM has a
        // DESCRIPTION of its own), nor any after the END that closes it.
        WalkOwnLines(Lines, component, [&](std::string_view line) {
            const std::string name = GetPropertyName(line);
            if (name == "DUE") {
                due_ = zones.Read(line);
            } else if (name == "DTSTART") {
                start = zones.Read(line);
            } else if (name == "AALARM") {
                // The run time; snooze time, repeat count and sound that may follow are
                // kept in the line but not read. Servers write an alarm relative to the
                // task (-PT30M) when they convert one.
                const std::string value = ToUTF8(GetPropertyValue(line));
                const std::string runTime = value.substr(0, value.find(';'));
                const TDateTime read = runTime.empty() ? 0 : TextToDateTime(runTime);
                alarm_ = read;
                relativeAlarm = runTime.find('P') != std::string::npos;
            } else if (name == "PRIORITY") {
                const std::string value = ToUTF8(GetPropertyValue(line));
                priority_ = value.empty() ? 0 : StrToInt(value);
            } else if (name == "STATUS") {
                completed_ = ToUTF8(GetPropertyValue(line)) == "COMPLETED";
            }
            return false;
        });
        // A relative alarm counts from the due time, or else from the start.
        if (relativeAlarm) {
            const TDateTime base = due_ != 0 ? due_ : start;
            alarm_ = base != 0 ? base + alarm_ : 0;
        }
    }
    State = ItemState::Unchanged;
}

WideString TSMLTask::Text(std::string_view name) const {
    // Parse leaves StartLine on the BEGIN:VTODO line, or on line 0 when there is none.
    return OpensBlock(Lines, StartLine, "VTODO") ? ReadText(*this, name, escaped_) : WideString();
}

WideString TSMLTask::Description() const {
    return WithCRLF(Text("DESCRIPTION"));
}

std::string TSMLTask::PairingKey() const {
    return ToUTF8(Summary()) + '\n' + std::to_string(std::llround(due_ * kSecondsPerDay));
}

void TSMLTask::SetTitle(const WideString& value) {
    WriteText(*this, "SUMMARY", Summary(), value);
}

void TSMLTask::SetDescription(const WideString& value) {
    WriteText(*this, "DESCRIPTION", Description(), value);
}

void TSMLTask::WriteMoment(std::string_view name, TDateTime& field, TDateTime value) {
    if (value == field) return;
    field = value;
    SetProperty(name, {}, value != 0 ? FromUTF8(MomentToText(value)) : WideString());
}

void TSMLTask::SetDue(TDateTime value) {
    WriteMoment("DUE", due_, value);
}

void TSMLTask::SetAlarm(TDateTime value) {
    WriteMoment("AALARM", alarm_, value);
}

void TSMLTask::SetCompleted(bool value) {
    if (value == completed_) return;
    completed_ = value;
    SetProperty("STATUS", {}, value ? u"COMPLETED" : u"");
    // The date of completion goes with the status: a task that is open again has none.
    if (!value) {
        if (const std::int32_t completed = FindProperty("COMPLETED", {}); completed >= 0) {
            Lines.Erase(static_cast<std::size_t>(completed),
                        static_cast<std::size_t>(completed) + 1);
        }
    }
}

void TSMLTask::SetPriority(std::int32_t value) {
    if (value == priority_) return;
    priority_ = value;
    SetProperty("PRIORITY", {}, value > 0 ? FromUTF8(std::to_string(value)) : WideString());
}

TSMLTasks::TSMLTasks() : TSMLStore(KindNamed("task").Defaults) {}

}  // namespace orvanta
