#pragma once
// The platform's windows, module and thread handles, as the portable code
// sees them: values to store and pass back, never to look into.
typedef void *PlatformHandle;
