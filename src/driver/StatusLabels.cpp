#include "driver/StatusLabels.h"

#include <string>

#include "util/Texts.h"

namespace zl {

void StepActivityIndicator(Label &activityLabel, std::size_t primaryCount,
                           std::size_t secondaryCount) {
  const bool queued = primaryCount > 0 || secondaryCount > 0;
  activityLabel.UpdateCaption([queued](std::string_view caption) {
    if (!queued) return std::string(Say(TextId::ActivityIdle));
    if (caption.size() < 10) return std::string(caption) + ".";
    return std::string(".");
  });
}

bool ShowQueueStatus(Label &queueStatusLabel, std::string_view statusText) {
  return queueStatusLabel.SetCaptionIfDifferent(statusText);
}

}  // namespace zl
