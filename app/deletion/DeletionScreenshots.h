// Pictures of the deletion flow for review, taken on real files in the (throw-away) home: the review
// sheet, the status line with the put-back and free buttons, the permanent-delete warning and the
// history sheet, in the light and the dark appearance. Part of the program's --screenshots run.
#pragma once

#include <QString>

namespace DeletionScreenshots {

// Writes deletion-{review,status,free-warning,history}-{light,dark}.png into folder; false when one
// could not be written.
bool writeAll(const QString& folder);

} // namespace DeletionScreenshots
