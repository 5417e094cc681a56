// The game data's champion summary, read once: ids shown and picked by alias.
export class Champions {
  constructor(records = []) {
    this.byId = new Map(records.map((record) => [record.id, record.alias]));
    this.byAlias = new Map(records.map((record) => [record.alias.toLocaleLowerCase(), record.id]));
    this.aliases = records.map((record) => record.alias).sort();
    this.loaded = records.length > 0;
  }

  static async read(api) {
    const records = await api.get("/dul-game-data/assets/v1/champion-summary.json");
    return new Champions(Array.isArray(records) ? records.filter(isChampion) : []);
  }

  aliasOf(id) {
    return this.byId.get(id) ?? `#${id}`;
  }

  // The id of an alias, whatever its case; undefined for an alias the summary does not know.
  idOf(alias) {
    return this.byAlias.get(alias.trim().toLocaleLowerCase());
  }

  knows(id) {
    return this.byId.has(id);
  }
}

function isChampion(record) {
  return Number.isInteger(record?.id) && typeof record.alias === "string";
}
