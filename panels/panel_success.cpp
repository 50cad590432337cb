#include "panel_success.h"

#include "BinaryData.h"
#include "theme/Palette.h"

panel_success::panel_success()
    : successIcon (
        juce::Drawable::createFromImageData (BinaryData::icon_success_svg, (size_t) BinaryData::icon_success_svgSize)),
      warningIcon (
          juce::Drawable::createFromImageData (BinaryData::icon_warning_svg, (size_t) BinaryData::icon_warning_svgSize))
{
}

panel_success::~panel_success()
{
    warningIcon = nullptr;
    successIcon = nullptr;
}

void panel_success::paint (juce::Graphics& g)
{
    const auto u = unit;
    const auto box = getLocalBounds().toFloat().reduced (35.0f * u);

    g.setColour (juce::Colours::black);
    g.fillRoundedRectangle (box, u);

    g.setColour (paletteOffWhite);
    g.drawRoundedRectangle (box, u, 0.25f * u);

    g.setColour (juce::Colours::white);
    g.setFont (3.0f * u);

    // Without its icon the notice still shows its box and message.
    if (auto* icon = success ? successIcon.get() : warningIcon.get())
        icon->drawWithin (g, box.reduced (8.0f * u), juce::RectanglePlacement::centred, 1.0f);

    g.drawText (success ? "Operation Successful!" : "Operation failed!", box.reduced (2.0f * u),
                juce::Justification::centredBottom, true);
}

void panel_success::resized()
{
}

void panel_success::announce()
{
    announcement = success          ? "Operation successful"
                 : reason.isEmpty() ? "Operation failed"
                                    : "Operation failed: " + reason;
    juce::AccessibilityHandler::postAnnouncement (announcement, juce::AccessibilityHandler::AnnouncementPriority::high);
}
