#include "items/TaskSyncML.h"

#include "items/ItemKinds.h"

namespace orvanta {

TSMLTask::TSMLTask(TSMLTasks* owner) : Owner(owner) {
    Lines = {"BEGIN:VCALENDAR", "VERSION:1.0", "BEGIN:VTODO", "END:VTODO", "END:VCALENDAR"};
    StartLine = 2;
}

void TSMLTask::Parse(std::string_view text) {
    TSMLItem::Parse(text);
    Summary.clear();
    UnfoldLines(Lines);
    StartLine = 0;
    if (const std::int32_t component = FindComponent(Lines, "VTODO"); component >= 0) {
        StartLine = component;
        ReadTitle(*this, "SUMMARY", Summary, component);
    }
    State = ItemState::Unchanged;
}

void TSMLTask::SetTitle(const WideString& value) {
    WriteTitle(*this, "SUMMARY", Summary, value);
}

TSMLTasks::TSMLTasks() : TSMLStore({"task", "taskdb", "text/x-vcalendar", "2.0", "TaskSyncML"}) {}

}  // namespace orvanta
