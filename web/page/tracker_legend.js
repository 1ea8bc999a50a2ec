// The tracker's legend: the module's own, the part of its picture right of
// the grid, in a fold below the map (folded on a phone, where it would push
// the map away), drawn only while it is unfolded. It counts the rooms
// shown, so after a step it is drawn again once the page is idle, never
// within the frame of a tap.

import { cancelIdle, narrowScreen, whenIdle } from './dom.js';

/// The legend's fold `trackerLegend` and place `trackerLegendMap`;
/// `picture()` is the picture on show, { svg, geometry, left } (left: where
/// the legend's part begins), or null, and `legendOf()` the legend's group
/// as the run stands. Returns { draw, changed, fold }.
export function setUpLegend({ trackerLegend: legend, trackerLegendMap }, { picture, legendOf }) {
  let due = 0;  // the redraw waiting for an idle moment

  // Draws the legend, `text` being its group, or the run's now.
  function draw(text = null) {
    if (due) cancelIdle(due);
    due = 0;
    const shown = picture();
    if (!legend.open || !shown) return trackerLegendMap.replaceChildren();
    const { svg, geometry, left } = shown;
    const legendText = text ?? legendOf();
    const copy = svg.cloneNode(false);
    // As tall as its lowest line, and a margin's half below it.
    const lowest = Math.max(0, ...[...legendText.matchAll(/\by="([\d.]+)"(?:[^>]*\bheight="([\d.]+)")?/g)]
      .map(([, y, height]) => Number(y) + Number(height || 0)));
    const height = Math.min(geometry.height, lowest + geometry.gridY / 2);
    copy.setAttribute('viewBox', `${left} 0 ${geometry.width - left} ${height}`);
    copy.setAttribute('width', String(geometry.width - left));
    copy.setAttribute('height', String(height));
    copy.removeAttribute('aria-hidden');
    copy.setAttribute('role', 'img');
    copy.setAttribute('aria-label', 'Legend of the map');
    copy.innerHTML = legendText;
    return trackerLegendMap.replaceChildren(copy);
  }

  legend.addEventListener('toggle', () => draw());
  legend.open = !narrowScreen();

  return {
    /// Draws the legend of the picture on show, `text` being its group (or the run's now); none without one.
    draw,
    /// The rooms shown changed: an unfolded legend is drawn again once the page is idle.
    changed() {
      if (legend.open && !due) due = whenIdle(() => draw());
    },
    /// Folds the legend away.
    fold() {
      legend.open = false;
    },
  };
}
