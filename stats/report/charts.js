(function () {
  'use strict';
  const data = JSON.parse(document.getElementById('report-data').textContent);
  const charts = data.charts;
  const palette = ['#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2',
                   '#7f7f7f', '#bcbd22', '#17becf'];
  const dayMs = 86400000;
  // Times are the files' local wall clock, carried as if UTC so that no time zone moves them.
  const iso = (ms) => new Date(ms).toISOString();
  const day = (ms) => iso(ms).slice(0, 10);
  const minute = (ms) => iso(ms).slice(0, 16).replace('T', ' ');
  const grains = {
    match: { rows: charts.match, name: 'match', label: minute },
    d: { rows: charts.d, name: 'day', label: day },
    w: { rows: charts.w, name: 'week', label: (ms) => 'week of ' + day(ms) },
    m: { rows: charts.m, name: 'month', label: (ms) => iso(ms).slice(0, 7) },
  };
  // Per match while the span holds a few hundred matches; beyond, the finest of day, week and
  // month that keeps every series within a few hundred points.
  const mostPoints = 200;
  function grainOf(start) {
    const inSpan = charts.d.reduce((n, row) => n + (row[0] + dayMs > start ? row[1] + row[2] : 0), 0);
    if (inSpan <= charts.match.length) return grains.match;
    for (const grain of [grains.d, grains.w, grains.m]) {
      if (grain.rows.filter((row) => row[0] + dayMs > start).length <= mostPoints) return grain;
    }
    return grains.m;
  }
  const yearStart = Date.UTC(new Date(charts.latest).getUTCFullYear(), 0, 1);
  const spans = [['last 30 days', charts.latest - 30 * dayMs], ['last 90 days', charts.latest - 90 * dayMs],
                 ['this year', yearStart], ['everything', -Infinity]];
  Chart.defaults.animation = false;
  Chart.defaults.maintainAspectRatio = false;
  // The x axis runs from the first point shown to the last; a lone point gets an hour around it.
  function bounds(points) {
    let low = Infinity, high = -Infinity;
    points.forEach((p) => { low = Math.min(low, p.x); high = Math.max(high, p.x); });
    if (low === Infinity) low = high = charts.latest;
    if (high - low < 3600000) { low -= 1800000; high += 1800000; }
    return [low, high];
  }
  // Within two days the ticks show the time and the axis title the day; else the ticks show
  // dates. A label the one before already shows is left out, and so is a tick so near the one
  // before that their labels would run together (the axis' own ends are kept).
  const clock = (ms) => iso(ms).slice(11, 16);
  const timeAxis = () => ({
    type: 'linear',
    title: { display: false, text: '' },
    afterBuildTicks: (axis) => {
      // A date label takes about 80 pixels.
      const room = (axis.max - axis.min) * Math.min(0.5, 90 / Math.max(axis.width, 1)), kept = [];
      axis.ticks.forEach((tick, i) => {
        const last = i === axis.ticks.length - 1;
        if (kept.length && tick.value - kept[kept.length - 1].value < room) {
          if (!last || kept.length === 1) { if (last) kept.push(tick); return; }
          kept.pop();
        }
        kept.push(tick);
      });
      axis.ticks = kept;
    },
    ticks: {
      maxTicksLimit: 6, maxRotation: 0,
      callback: function (value, index, ticks) {
        const text = this.max - this.min >= 2 * dayMs ? day
          : day(this.min) === day(this.max) ? clock : (ms) => iso(ms).slice(5, 16).replace('T', ' ');
        return index > 0 && text(ticks[index - 1].value) === text(value) ? '' : text(value);
      },
    },
  });
  const line = (label, points, colour, axis) => ({
    label: label, data: points, borderColor: colour, backgroundColor: colour, borderWidth: 1.5,
    pointRadius: points.length > 60 ? 0 : 2, yAxisID: axis, spanGaps: true, clip: 4,
  });
  let shownGrain = grains.match;
  const tooltip = { callbacks: { title: (items) => (items.length ? shownGrain.label(items[0].parsed.x) : '') } };
  const mmrChart = new Chart(document.getElementById('mmr-chart'), {
    type: 'line', data: { datasets: [] },
    options: { parsing: false, plugins: { tooltip: tooltip },
               scales: { x: timeAxis(), y: { title: { display: true, text: 'MMR' } } } },
  });
  const trendChart = new Chart(document.getElementById('trend-chart'), {
    type: 'line', data: { datasets: [] },
    options: {
      parsing: false, plugins: { tooltip: tooltip },
      scales: {
        x: timeAxis(),
        percent: { position: 'right', beginAtZero: true, title: { display: true, text: 'shooting %' } },
        count: { position: 'left', beginAtZero: true, title: { display: true, text: 'per match' } },
      },
    },
  });
  const resultsChart = new Chart(document.getElementById('results-chart'), {
    type: 'bar', data: { labels: [], datasets: [] },
    options: { scales: { x: { stacked: true, ticks: { maxRotation: 0, autoSkipPadding: 12 } },
                         y: { stacked: true, beginAtZero: true, ticks: { precision: 0 } } } },
  });
  function show(start) {
    const grain = grainOf(start);
    const rows = grain.rows.filter((row) => (grain === grains.match ? row[0] >= start : row[0] + dayMs > start));
    const perMatch = grain === grains.match;
    const at = (row, i) => ({ x: row[0], y: row[i] });
    mmrChart.data.datasets = charts.playlists.map((playlist, p) => line(playlist, perMatch
      ? rows.filter((row) => row[1] === p).map((row) => ({ x: row[0], y: row[2] }))
      : rows.filter((row) => row[6][p] !== null).map((row) => ({ x: row[0], y: row[6][p] })),
      palette[p % palette.length])).filter((set) => set.data.length > 0);
    // Both kinds of row hold shooting %, saves and assists at 3, 4 and 5.
    const shooting = rows.filter((row) => row[3] !== null).map((row) => at(row, 3));
    trendChart.data.datasets = [
      line('shooting %', shooting, palette[0], 'percent'),
      line('saves per match', rows.map((row) => at(row, 4)), palette[1], 'count'),
      line('assists per match', rows.map((row) => at(row, 5)), palette[2], 'count'),
    ];
    shownGrain = grain;
    [mmrChart, trendChart].forEach((chart) => {
      const [low, high] = bounds(chart.data.datasets.flatMap((set) => set.data));
      const x = chart.options.scales.x;
      [x.min, x.max] = [low, high];
      x.title.display = high - low < 2 * dayMs;
      x.title.text = day(low) === day(high) ? day(low) : day(low) + ' to ' + day(high);
      chart.update();
    });
    // Bars per day where the lines are per match.
    const barGrain = perMatch ? grains.d : grain;
    const bars = barGrain.rows.filter((row) => row[0] + dayMs > start);
    resultsChart.data.labels = bars.map((row) => barGrain.label(row[0]));
    resultsChart.data.datasets = [
      { label: 'wins', data: bars.map((row) => row[1]), backgroundColor: '#2ca02c', maxBarThickness: 40 },
      { label: 'losses', data: bars.map((row) => row[2]), backgroundColor: '#d62728', maxBarThickness: 40 },
    ];
    resultsChart.update();
    document.getElementById('mmr-grain').textContent = perMatch
      ? 'Each match: the rating it began with.' : 'Per ' + grain.name + ': the rating at its latest match.';
    document.getElementById('results-title').textContent = 'Wins and losses per ' + barGrain.name;
    document.getElementById('trend-note').textContent =
      'Shooting %, saves and assists per match; a point per ' + grain.name + '.';
  }
  const control = document.getElementById('span-control');
  const history = charts.latest - charts.first;
  const initial = history > 90 * dayMs ? 1 : 3;
  spans.forEach(([label, start], i) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = label;
    button.setAttribute('aria-pressed', String(i === initial));
    button.addEventListener('click', () => {
      control.querySelectorAll('button').forEach((b) => b.setAttribute('aria-pressed', String(b === button)));
      show(start);
    });
    control.appendChild(button);
  });
  show(spans[initial][1]);

  // Then the tables, from the same data; every text goes in as text, never as markup.
  // Every cell's text, names and ids included, goes into the page here.
  function putText(cell, text) {
    cell.textContent = text;
  }
  // Sort keys by a column's kind: t text, d date, n number, p a pair ("12-10", "3–1": by the
  // difference, then the first), r a result, s a streak ("W3", "L2"). A cell with none sorts last.
  const numberOf = (text) => {
    const value = parseFloat(text);
    return Number.isNaN(value) ? null : value;
  };
  const keys = {
    t: (text) => text.toLowerCase(),
    d: (text) => text,
    n: numberOf,
    p: (text) => {
      const parts = text.split(/[-\u2013]/).map(Number);
      return parts.length === 2 && parts.every(Number.isFinite) ? (parts[0] - parts[1]) * 1e6 + parts[0] : numberOf(text);
    },
    r: (text) => (text === 'WIN' ? 1 : text === 'LOSS' ? 0 : null),
    s: (text) => (/^[WL]\d+$/.test(text) ? (text[0] === 'W' ? 1 : -1) * Number(text.slice(1)) : null),
  };
  const collator = new Intl.Collator('en');
  function compare(x, y) {
    if (x === null || y === null) return x === y ? 0 : null;
    if (typeof x === 'string') return collator.compare(x, y);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  const playerColumns = [['team', 't'], ['name', 't'], ['goals', 'n'], ['assists', 'n'],
                         ['saves', 'n'], ['shots', 'n'], ['demos', 'n'], ['score', 'n'],
                         ['MMR', 'n'], ['player id', 't']];
  function table(holder, tableData, pageSize) {
    const box = document.createElement('div');
    box.className = 'box';
    const element = document.createElement('table');
    box.appendChild(element);
    const head = element.createTHead().insertRow();
    const body = element.createTBody();
    let rows = tableData.rows.slice();
    let shown = pageSize ? Math.min(pageSize, rows.length) : rows.length;
    let sortedBy = -1, ascending = true;
    const more = document.createElement('button');
    more.type = 'button';
    more.className = 'more';
    function fill() {
      body.textContent = '';
      for (let r = 0; r < shown; ++r) {
        const tr = body.insertRow();
        const details = rows[r][tableData.columns.length];
        if (details) {
          tr.className = 'opens';
          tr.title = 'Show both sides';
          tr.addEventListener('click', () => {
            if (tr.nextSibling && tr.nextSibling.className === 'details') {
              body.removeChild(tr.nextSibling);
              return;
            }
            const holder = document.createElement('tr');
            holder.className = 'details';
            const cell = holder.insertCell();
            cell.colSpan = tableData.columns.length;
            table(cell, { columns: playerColumns, rows: details.map((line) => line.map(String)) }, 0);
            body.insertBefore(holder, tr.nextSibling);
          });
        }
        rows[r].slice(0, tableData.columns.length).forEach((text, c) => {
          const td = tr.insertCell();
          putText(td, text);
          const kind = tableData.columns[c][1];
          if (kind === 't') td.className = 't';
          if (kind === 'n' || kind === 'p' || kind === 's') td.className = 'n';
          // A name's own direction stays inside its cell.
          if (kind === 't') td.dir = 'auto';
          if (kind === 'r') td.className = text === 'WIN' ? 'win' : 'loss';
        });
      }
      // Each press shows as many again, so that a thousand rows take a few presses.
      const next = Math.min(Math.max(pageSize, shown), rows.length - shown);
      more.hidden = shown >= rows.length;
      more.textContent = 'Show ' + next + ' more of ' + (rows.length - shown);
    }
    tableData.columns.forEach((column, c) => {
      const th = document.createElement('th');
      th.textContent = column[0];
      th.title = 'Sort by ' + column[0] + '; again to reverse';
      th.addEventListener('click', () => {
        ascending = sortedBy === c ? !ascending : column[1] === 't' || column[1] === 'd';
        sortedBy = c;
        head.querySelectorAll('th').forEach((other) => other.removeAttribute('aria-sort'));
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        const key = keys[column[1]];
        const keyed = rows.map((row, at) => [key(row[c]), at, row]);
        keyed.sort((a, b) => {
          const order = compare(a[0], b[0]);
          if (order === null) return a[0] === null ? 1 : -1;
          return (ascending ? order : -order) || a[1] - b[1];
        });
        rows = keyed.map((entry) => entry[2]);
        fill();
      });
      head.appendChild(th);
    });
    holder.appendChild(box);
    if (pageSize) {
      more.addEventListener('click', () => {
        shown = Math.min(shown + Math.max(pageSize, shown), rows.length);
        fill();
      });
      holder.appendChild(more);
    }
    fill();
  }
  document.querySelectorAll('[data-table]').forEach((holder) => {
    const tableData = data.tables[holder.dataset.table];
    if (tableData.rows.length === 0) {
      holder.textContent = 'None.';
    } else {
      table(holder, tableData, Number(holder.dataset.page || 0));
    }
  });
})();
