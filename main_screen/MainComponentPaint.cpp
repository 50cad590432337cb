#include "MainComponent.h"

#include "app/InstallerIdentity.h"
#include "theme/FocusCue.h"
#include "theme/Palette.h"

namespace
{
void drawLine (juce::Graphics& g, const juce::String& text, float x, float baseline)
{
    g.drawSingleLineText (text, (int) x, (int) baseline, juce::Justification::left);
}

juce::Colour extrasShade (const juce::Button& button)
{
    if (button.isMouseButtonDown())
        return paletteGreen;

    return paletteWarmGrey.withAlpha (button.isMouseOver() ? 0.75f : 0.5f);
}

void drawIcon (juce::Graphics& g, juce::Drawable* icon, juce::Rectangle<float> area)
{
    if (icon != nullptr)
        icon->drawWithin (g, area, juce::RectanglePlacement::centred, 1.0f);
}
}  // namespace

void MainComponent::paint (juce::Graphics& g)
{
    const auto u = unit;
    const auto width = (float) getWidth();
    const auto height = (float) getHeight();

    g.fillAll (paletteNearBlack);

    g.setColour (paletteBlue);
    g.fillRect (0.0f, 0.0f, 100.0f * u, u);

    g.setColour (paletteWarmGrey.withAlpha (0.5f));
    const auto dotX = width - 1.5f * u - 0.5f * u;
    const auto dotY = height - 1.5f * u - 0.5f * u;
    g.fillEllipse (dotX, dotY, u, u);
    g.fillEllipse (dotX, dotY - 2.0f * u, u, u);
    g.fillEllipse (dotX - 2.0f * u, dotY, u, u);

    const juce::Rectangle<float> titleArea (4.0f * u, 8.0f * u, width, 12.0f * u);
    g.setFont (regularFont (9.0f * u));
    g.setColour (paletteWarmGrey);
    g.drawText (productName + " DEMO", titleArea, juce::Justification::topLeft, true);

    g.setFont (4.0f * u);
    g.setColour (paletteWarmGrey.withAlpha (0.5f));
    g.drawText ("Version " + productVersion + platformSuffix, titleArea, juce::Justification::bottomLeft, true);

    g.setColour (paletteOffWhite);
    drawLine (g, "TOVIN", 4.0f * u, 5.0f * u);

    g.setFont (regularFont (4.0f * u));
    g.setColour (paletteWarmGrey);
    drawLine (g, "DRIFT", 13.0f * u, 5.0f * u);

    g.setColour (paletteWarmGrey.withAlpha (0.5f));
    g.setFont (3.0f * u);
    drawLine (g, "PLUGIN MANAGER", 75.0f * u, 4.0f * u);
    g.setFont (2.0f * u);
    drawLine (g, "v" + installerVersion, 75.0f * u, 6.0f * u);

    g.setColour (paletteWarmGrey);
    g.setFont (4.0f * u);
    drawLine (g, "FORMATS", 4.0f * u, 26.0f * u);
    g.fillRect (4.0f * u, 27.5f * u, 92.0f * u, 0.25f * u);

    g.setColour (paletteWarmGrey);
    g.setFont (4.0f * u);
    drawLine (g, "EXTRAS", 4.0f * u, 70.0f * u);
    g.fillRect (4.0f * u, 71.5f * u, 92.0f * u, 0.25f * u);

    g.setFont (2.5f * u);

    for (size_t slot = 0; slot < extraButtons.size(); ++slot)
        paintExtrasButton (g, *extraButtons[slot], extraIcons[slot].get(), 2.0f * u, extraNames[(int) slot]);

    paintExtrasButton (g, *installButton, extraIcons[4].get(), 1.5f * u, shiftDown ? "UNINSTALL" : "INSTALL");
    paintSelectAllButton (g);

    // One look at the disk per format and paint: whether the item is there, and its
    // version when it is.
    const auto state = installedState();

    for (int index = 0; index < 3; ++index)
        paintFormatRow (g, index, state.stateOf (index));
}

void MainComponent::paintExtrasButton (juce::Graphics& g, const juce::Button& button, juce::Drawable* icon,
                                       float iconInset, const juce::String& caption) const
{
    const auto b = button.getBounds().toFloat();

    g.setColour (extrasShade (button));
    g.fillRoundedRectangle (b, unit);
    drawIcon (g, icon, b.reduced (iconInset));

    g.setColour (paletteWarmGrey);
    g.drawText (caption, b.translated (0.0f, 3.5f * unit), juce::Justification::centredBottom, true);

    FocusCue::paintRing (g, button, b, unit);
}

void MainComponent::paintSelectAllButton (juce::Graphics& g) const
{
    const auto b = selectAllButton->getBounds().toFloat();
    const auto pressed = selectAllButton->isMouseButtonDown();

    g.setFont (3.0f * unit);
    g.setColour (pressed ? paletteGreen : paletteWarmGrey.withAlpha (0.1f));
    g.fillRoundedRectangle (b, unit);

    g.setColour (pressed ? paletteCharcoal : paletteWarmGrey);
    g.drawText ("SELECT ALL", b, juce::Justification::centred, true);

    FocusCue::paintRing (g, *selectAllButton, b, unit);
}

void MainComponent::paintFormatRow (juce::Graphics& g, int formatIndex, const FormatState& state) const
{
    const auto u = unit;
    const auto& button = *formatButtons[(size_t) formatIndex];
    const auto b = button.getBounds().toFloat();
    const auto installed = state.installed;
    const auto& status = state.status;
    const auto hovered = button.isMouseOver();

    if (installed)
        g.setColour (hovered ? paletteBlue : paletteBlue.withAlpha (0.9f));
    else
        g.setColour (paletteWarmGrey.withAlpha (hovered ? 0.5f : 0.35f));

    g.fillRoundedRectangle (b, u);

    if (selected[(size_t) formatIndex])
    {
        g.setColour (paletteYellow);
        g.drawRoundedRectangle (b, u, 0.5f * u);
    }

    const auto text = b.reduced (1.5f * u).translated (10.0f * u, 0.0f);

    g.setColour (paletteNearBlack);
    g.setFont (3.5f * u);
    g.drawText (formatNames[formatIndex], text, juce::Justification::topLeft, true);
    g.setFont (3.0f * u);
    g.drawText (status, text, juce::Justification::bottomLeft, true);

    drawIcon (g, formatIcons[(size_t) formatIndex].get(),
              { b.getX() + u, b.getY() + u, 8.0f * u, juce::jmax (0.0f, b.getHeight() - 2.0f * u) });

    FocusCue::paintRing (g, button, b, u);
}
