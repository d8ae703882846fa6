#pragma once
// Connects the core's services to the subsystems built around it: the pipeline's
// background grants, idle timer and post-install alert card, and the emulated system
// version of the view layer. Called once at start-up (and by tests that need it).
void wireApplicationServices();
