#pragma once

// Writes "<name>.bat" beside the parts, joining them again with copy /b.
bool WriteMergeScript();
