#pragma once

struct Settings;
class MessageSink;

// Reads AppFolder + "config.pz" into ImportPath, LocalPath and DataSource. A missing or broken
// file shows "配置文件错误，请重新配置" and leaves the settings as they were.
void LoadConfig(Settings& settings, MessageSink& sink);

// Writes the three settings to AppFolder + "config.pz" from a fresh template, through a
// temporary file renamed into place. On failure shows "保存参数失败" + the XML error text.
void SaveConfig(const Settings& settings, MessageSink& sink);
