// The row and column numbers of the tracker's map, as strips that stay at
// the top and left edges of its box while it scrolls (the map's own
// numbers give way to them), so that a room far from the edges can still
// be told by its numbers when the map is zoomed in.

/// The strips on `board` (the tracker's board, which the box scrolls) for
/// a map of cells of `cell` units. Returns { add, hold }.
export function numberStrips(board, cell) {
  let strips = null;  // { columns, rows, corner }

  /// Holds the strips at the box's edges, scrolled to `scrolled` ({ left, top }).
  function hold({ left, top }) {
    if (!strips) return;
    strips.columns.style.transform = `translateY(${top}px)`;
    strips.rows.style.transform = `translateX(${left}px)`;
    strips.corner.style.transform = `translate(${left}px, ${top}px)`;
  }

  return {
    /// Puts the strips of the map of `geometry` ({ gridX, gridY, count }) at
    /// `zoomed` pixels a unit in place of those before, held at `scrolled`.
    add({ gridX, gridY, count }, zoomed, scrolled) {
      board.querySelectorAll('.numbers').forEach((strip) => strip.remove());
      const strip = (className) => Object.assign(document.createElement('div'), { className: `numbers ${className}` });
      strips = { columns: strip('columns'), rows: strip('rows'), corner: strip('corner') };
      const { columns, rows, corner } = strips;
      columns.style.height = `${gridY * zoomed}px`;
      rows.style.width = `${gridX * zoomed}px`;
      board.style.setProperty('--numbers-strip', `${Math.min(gridX, gridY) * zoomed}px`);
      for (let i = 0; i < count; ++i) {
        const column = Object.assign(document.createElement('span'), { textContent: String(i) });
        column.style.left = `${(gridX + (i + 0.5) * cell) * zoomed}px`;
        columns.append(column);
        const row = Object.assign(document.createElement('span'), { textContent: String(i) });
        row.style.top = `${(gridY + (i + 0.5) * cell) * zoomed}px`;
        rows.append(row);
      }
      // The corner where the strips meet hides whatever number scrolls under it.
      Object.assign(corner.style, { width: rows.style.width, height: columns.style.height });
      board.append(columns, rows, corner);
      hold(scrolled);
    },

    hold,
  };
}
