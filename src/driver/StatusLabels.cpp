#include "driver/StatusLabels.h"

#include <string>

#include "driver/DriverTexts.h"

namespace zl {

void StepActivityIndicator(Label &label2, std::size_t primaryCount, std::size_t secondaryCount) {
  const bool queued = primaryCount > 0 || secondaryCount > 0;
  label2.UpdateCaption([queued](std::string_view caption) {
    if (!queued) return std::string(text::kActivityIdle);
    if (caption.size() < 10) return std::string(caption) + ".";
    return std::string(".");
  });
}

bool ShowQueueStatus(Label &label1, std::string_view statusText) {
  return label1.SetCaptionIfDifferent(statusText);
}

}  // namespace zl
