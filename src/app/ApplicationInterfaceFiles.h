#pragma once
// The interface files the application's screens are made from, registered by name in
// one place: the storyboard "Main" with the tab bar ("TabBarVC") and its tabs, the task
// screens and their cell, the alert card, the screens built so far, and named placeholders for the screens of
// later parts of the application.
namespace ApplicationInterfaceFiles {
void registerAll();
}  // namespace ApplicationInterfaceFiles
