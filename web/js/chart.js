// A stacked bar chart (answered below, unanswered above) as SVG.
(function (root) {
'use strict';

const SVG = 'http://www.w3.org/2000/svg';
const WIDTH = 600;
const HEIGHT = 200;
const PAD = { left: 28, right: 6, top: 8, bottom: 22 };

function node(tag, attributes, content) {
  const e = document.createElementNS(SVG, tag);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, String(v));
  if (content !== undefined) e.textContent = content;
  return e;
}

// bars: [{ label, answered, unanswered }]
function barChart(bars, title) {
  const svg = node('svg', { viewBox: `0 0 ${WIDTH} ${HEIGHT}`, role: 'img', 'aria-label': title });
  const top = Math.max(1, ...bars.map((b) => b.answered + b.unanswered));
  const plotHeight = HEIGHT - PAD.top - PAD.bottom;
  const slot = (WIDTH - PAD.left - PAD.right) / bars.length;
  const y = (n) => PAD.top + plotHeight - (n / top) * plotHeight;
  svg.append(node('text', { x: PAD.left - 4, y: PAD.top + 8, 'text-anchor': 'end' }, top));
  svg.append(node('text', { x: PAD.left - 4, y: PAD.top + plotHeight, 'text-anchor': 'end' }, 0));
  const every = Math.ceil(bars.length / 12);
  bars.forEach((b, i) => {
    const x = PAD.left + i * slot + slot * 0.15;
    const w = slot * 0.7;
    const g = node('g', {});
    g.append(node('title', {}, `${b.label} 応答 ${b.answered}件・未応答 ${b.unanswered}件`));
    g.append(node('rect', { class: 'bar-answered', x, width: w, y: y(b.answered), height: y(0) - y(b.answered) }));
    const total = b.answered + b.unanswered;
    g.append(node('rect', { class: 'bar-unanswered', x, width: w, y: y(total), height: y(b.answered) - y(total) }));
    svg.append(g);
    if (i % every === 0)
      svg.append(node('text', { x: x + w / 2, y: HEIGHT - 6, 'text-anchor': 'middle' }, b.label));
  });
  return svg;
}

root.TeloriaChart = { barChart };
})(globalThis);
