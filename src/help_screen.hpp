#pragma once

// Clears the console and explains what the calculation is for.
void show_help_screen();
