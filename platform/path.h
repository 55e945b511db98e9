#pragma once

// A path, a search pattern or a file name as the system's narrow calls take
// them: at most 259 characters and the terminator.
enum { PATH_SIZE = 260 };
