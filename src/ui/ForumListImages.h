#pragma once

// The pictures of the forum list, drawn here: the lock of a password forum, the microphone of a
// forum with controlled microphones, the moderated mark, the folder of a category, the mark of
// a forum placed at the top level, and the tool bar's four commands.

#include <QIcon>
#include <QPixmap>

namespace qv {

class ForumListImages {
  public:
    static constexpr int kSize = 16;

    static QPixmap Lock();
    static QPixmap Microphone();
    static QPixmap Moderated();
    static QPixmap Folder();
    static QPixmap TopLevelForum();

    static QIcon LevelUp();
    static QIcon Refresh();
    static QIcon Create();
    static QIcon OpenJoin();
};

}  // namespace qv
