#pragma once

// Whether the running release's taskbar can host a deskband at all. Windows 11's taskbar hosts
// none: asking it to show or load one only runs out the retry schedule.
bool TaskbarHostsDeskbands();
